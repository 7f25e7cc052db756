#include "core/copy/DayFolder.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace tessera;

class DayFolderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Made once, there afterwards; where mkdir is refused, the reason is mkdir's own and not what
    // a look at the missing folder finds ("No such file or directory").
    void madeOnceAndRefusedWithMkdirsReason()
    {
        QTemporaryDir drop;
        const QUrl day = QUrl::fromLocalFile(drop.filePath(QStringLiteral("261207")));
        QCOMPARE(DayFolder::make(day), std::nullopt);
        QVERIFY(QFileInfo(day.toLocalFile()).isDir());
        QCOMPARE(DayFolder::make(day), std::nullopt);

        // The kernel's own folders take no new folders, even from root.
        if (::mkdir("/sys/tessera-day-folder-probe", 0755) == 0)
            QSKIP("this system lets anyone make folders in /sys");
        const int refused = errno;
        QVERIFY(refused != ENOENT);
        QCOMPARE(DayFolder::make(QUrl::fromLocalFile(QStringLiteral("/sys/tessera-day-folder"))),
                 QString::fromLocal8Bit(std::strerror(refused)));
    }
};

QTEST_GUILESS_MAIN(DayFolderTest)
#include "DayFolderTest.moc"
