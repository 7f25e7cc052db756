#include "core/copy/OriginalRenamePlanner.h"

#include "tests/copy/CopyTestSupport.h"

#include <QSet>

using namespace tessera;
using namespace tessera::testing;

class OriginalRenamePlannerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void renamesOnlyTheEditorsOwnFilesAfterAFullRun()
    {
        const QSet<QString> onDisk{QStringLiteral("/home/ed/export/taken.mov")};
        const auto exists = [&](const QUrl &url) { return onDisk.contains(url.toLocalFile()); };
        const QList<CopyItem> items{
            {file(QStringLiteral("/home/ed/export/Floor.mov")), QStringLiteral("F.mov"), {}},
            // Already on the NAS: not the editor's copy.
            {file(QStringLiteral("/nas/Halcyon_Drop/Reels/A.mov")), QStringLiteral("A2.mov"), {}},
            // Already carries its final name.
            {file(QStringLiteral("/home/ed/export/./B.mov")), QStringLiteral("B.mov"), {}},
            // Same folder, same final name as the first item.
            {file(QStringLiteral("/home/ed/export/Floor copy.mov")), QStringLiteral("F.mov"), {}},
            // The final name is used by another file there.
            {file(QStringLiteral("/home/ed/export/C.mov")), QStringLiteral("taken.mov"), {}},
            // A name that would move the file elsewhere.
            {file(QStringLiteral("/home/ed/export/D.mov")), QStringLiteral("../D.mov"), {}},
            // Another folder: the same name is free there.
            {file(QStringLiteral("/home/ed/other/Floor.mov")), QStringLiteral("F.mov"),
             QByteArray("content is not looked at")},
        };
        const QList<OriginalRename> expected{
            OriginalRename::rename(items[0].source, file(QStringLiteral("/home/ed/export/F.mov"))),
            OriginalRename::nameTaken(items[3].source, QStringLiteral("F.mov")),
            OriginalRename::nameTaken(items[4].source, QStringLiteral("taken.mov")),
            OriginalRename::rename(items[6].source, file(QStringLiteral("/home/ed/other/F.mov"))),
        };
        const QUrl dropRoot = file(QStringLiteral("/nas/Halcyon_Drop/Reels"));
        QCOMPARE(OriginalRenamePlanner::plan(items, dropRoot, true, exists), expected);
        QVERIFY(OriginalRenamePlanner::plan(items, dropRoot, false, exists).isEmpty());
    }
};

QTEST_GUILESS_MAIN(OriginalRenamePlannerTest)
#include "OriginalRenamePlannerTest.moc"
