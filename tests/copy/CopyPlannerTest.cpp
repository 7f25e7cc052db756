#include "core/copy/CopyPlanner.h"

#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"
#include "tests/copy/CopyTestSupport.h"

#include <QHash>

using namespace tessera;
using namespace tessera::testing;

namespace {

const QString reel = QStringLiteral("07_ABC_Reel3");
const QString stamp = QStringLiteral("2412051430");
const QUrl dropRoot = QUrl::fromLocalFile(QStringLiteral("/nas/Halcyon_Drop/Reels"));
const QUrl dayFolder = QUrl::fromLocalFile(QStringLiteral("/nas/Halcyon_Drop/Reels/241205"));

QString finalName(Surface surface, const QString &reelKey = reel)
{
    return Naming::fileName(reelKey, surface, Proxy::full, stamp);
}

QString inDay(const QString &name)
{
    return dayFolder.toLocalFile() + u'/' + name;
}

struct Report
{
    int position;
    int count;
    QString name;
    friend bool operator==(const Report &, const Report &) = default;
};

// An in-memory NAS: paths with their digests, a log of every digest asked for, and the planner's
// progress reports.
struct FakeInspector : FileInspector
{
    QHash<QString, QString> files;
    QStringList hashed;
    QList<Report> reports;

    bool exists(const QUrl &url) override { return files.contains(url.toLocalFile()); }
    QString sha256(const QUrl &url) override
    {
        hashed.append(url.toLocalFile());
        if (!files.contains(url.toLocalFile()))
            throw CopyError::io(url.fileName(), QStringLiteral("can't open it (gone)"));
        return files.value(url.toLocalFile());
    }
    QList<CopyAction> plan(const QList<CopyItem> &items)
    {
        return CopyPlanner::plan(items, reel, dayFolder, dropRoot, *this,
                                 [&](int i, int n, const QString &name) {
                                     reports.append({i, n, name});
                                 });
    }
    CopyPlanError refusal(const QList<CopyItem> &items)
    {
        return thrown<CopyPlanError>([&] { plan(items); });
    }
};

} // namespace

class CopyPlannerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plainFilesAreCopiedRenamedOrLeftWithoutHashing()
    {
        FakeInspector inspector;
        const QString floor = finalName(Surface::floor);
        const QString awall = finalName(Surface::awall);
        const QString bwall = finalName(Surface::bwall);
        const QString cwall = finalName(Surface::cwall);
        const QList<CopyItem> items{
            // From the editor's disk.
            {file(QStringLiteral("/home/ed/Floor Export.mov")), floor, {}},
            // Exported straight into the drop folder under a working name.
            {file(QStringLiteral("/nas/Halcyon_Drop/Reels/A wall.mov")), awall, {}},
            // Already today's file, dropped again through a roundabout path.
            {file(QStringLiteral("/nas/Halcyon_Drop/Reels/./x/../241205/") + bwall), bwall, {}},
            // This reel's final name from an earlier day: copied, the earlier file stays.
            {file(
                 QStringLiteral("/nas/Halcyon_Drop/Reels/241130/") +
                 Naming::fileName(reel, Surface::cwall, Proxy::full, QStringLiteral("2411301200"))),
             cwall,
             {}},
        };
        QCOMPARE(inspector.plan(items), (QList<CopyAction>{
                                            CopyAction::copy(items[0].source, file(inDay(floor))),
                                            CopyAction::rename(items[1].source, file(inDay(awall))),
                                            CopyAction::done(file(inDay(bwall))),
                                            CopyAction::copy(items[3].source, file(inDay(cwall))),
                                        }));
        QCOMPARE(inspector.reports,
                 (QList<Report>{{1, 4, floor}, {2, 4, awall}, {3, 4, bwall}, {4, 4, cwall}}));
        QVERIFY(inspector.hashed.isEmpty());
        // An empty list plans nothing and reports nothing.
        FakeInspector none;
        QVERIFY(none.plan({}).isEmpty());
        QVERIFY(none.reports.isEmpty());
    }

    void existingDestinationIsDoneOnlyWithTheSameBytes()
    {
        FakeInspector inspector;
        const QString floor = finalName(Surface::floor);
        inspector.files.insert(inDay(floor), QStringLiteral("aaa"));
        inspector.files.insert(QStringLiteral("/home/ed/same.mov"), QStringLiteral("aaa"));
        inspector.files.insert(QStringLiteral("/home/ed/other.mov"), QStringLiteral("bbb"));

        QCOMPARE(inspector.plan({{file(QStringLiteral("/home/ed/same.mov")), floor, {}}}),
                 QList<CopyAction>{CopyAction::done(file(inDay(floor)))});
        // The destination is hashed before the source.
        QCOMPARE(inspector.hashed,
                 (QStringList{inDay(floor), QStringLiteral("/home/ed/same.mov")}));

        const CopyPlanError taken =
            inspector.refusal({{file(QStringLiteral("/home/ed/other.mov")), floor, {}}});
        QCOMPARE(taken, CopyPlanError::nameTaken(floor));
        QCOMPARE(taken.description(),
                 QStringLiteral("There is already a different file called ") + floor +
                     QStringLiteral(" in the drop folder. Tessera never overwrites files. Ask "
                                    "the reel check team to look at it."));

        // The inspector's own errors reach the caller unchanged.
        QCOMPARE(
            thrown<CopyError>([&] {
                inspector.plan({{file(QStringLiteral("/home/ed/vanished.mov")), floor, {}}});
            }),
            CopyError::io(QStringLiteral("vanished.mov"), QStringLiteral("can't open it (gone)")));
    }

    void generatedBytesAreWrittenUnlessTheSameBytesAreThere()
    {
        FakeInspector inspector;
        const QString edl = Naming::edlName(stamp);
        const QByteArray bytes("TITLE: Halcyon\r\n* FROM CLIP NAME: x.mov\r\n");
        const CopyItem item{file(QStringLiteral("/home/ed/never-read.edl")), edl, bytes};

        QCOMPARE(inspector.plan({item}),
                 QList<CopyAction>{CopyAction::write(bytes, file(inDay(edl)))});
        inspector.files.insert(inDay(edl), SafeCopier::sha256(bytes));
        QCOMPARE(inspector.plan({item}), QList<CopyAction>{CopyAction::done(file(inDay(edl)))});
        QCOMPARE(inspector.hashed, QStringList{inDay(edl)});
        inspector.files.insert(inDay(edl), SafeCopier::sha256(QByteArray("older EDL")));
        QCOMPARE(inspector.refusal({item}), CopyPlanError::nameTaken(edl));
    }

    void errorsComeInTheirOrder()
    {
        FakeInspector inspector;
        const QString floor = finalName(Surface::floor);
        const QString otherReelFile = finalName(Surface::floor, QStringLiteral("07_ABC_Reel2"));
        const QUrl onNAS = file(QStringLiteral("/nas/Halcyon_Drop/Reels/241204/") + otherReelFile);
        // The destination exists with other bytes, yet the other reel is named first.
        inspector.files.insert(inDay(floor), QStringLiteral("aaa"));
        inspector.files.insert(onNAS.toLocalFile(), QStringLiteral("bbb"));

        const QList<CopyItem> items{{onNAS, floor, {}}};
        const CopyPlanError otherReel = inspector.refusal(items);
        QCOMPARE(otherReel,
                 CopyPlanError::otherReel(otherReelFile, QStringLiteral("07_ABC_Reel2")));
        QVERIFY(inspector.hashed.isEmpty());
        QCOMPARE(CopyPlanner::otherReelProblems(items, reel, dropRoot),
                 QStringList{otherReel.description()});

        // A duplicate name wins over the other reel; its progress report was already made.
        inspector.files.insert(QStringLiteral("/home/ed/a.mov"), QStringLiteral("aaa"));
        inspector.reports.clear();
        QCOMPARE(inspector.refusal(
                     {{file(QStringLiteral("/home/ed/a.mov")), floor, {}}, {onNAS, floor, {}}}),
                 CopyPlanError::duplicateName(floor));
        QCOMPARE(inspector.reports, (QList<Report>{{1, 2, floor}, {2, 2, floor}}));

        // Outside the drop root, or with content, another reel's name is no problem.
        const QList<CopyItem> harmless{
            {file(QStringLiteral("/home/ed/") + otherReelFile), floor, {}},
            {onNAS, Naming::edlName(stamp), QByteArray("edl")},
        };
        QVERIFY(CopyPlanner::otherReelProblems(harmless, reel, dropRoot).isEmpty());
        QVERIFY(CopyPlanner::otherReelProblems(items, QStringLiteral("07_ABC_Reel2"), dropRoot)
                    .isEmpty());
    }

    void namesThatLeaveTheDayFolderAreRefused()
    {
        FakeInspector inspector;
        for (const QString &name :
             {QStringLiteral("../../Reels/x.mov"), QStringLiteral(".."), QStringLiteral(""),
              QStringLiteral("a/b.mov"), QStringLiteral("a\u0000b")})
            QCOMPARE(inspector.refusal({{file(QStringLiteral("/home/ed/a.mov")), name, {}}}),
                     CopyPlanError::badName(name));
    }

    void pathTests()
    {
        const auto inside = [](const char *path, const char *folder = "/nas/Halcyon_Drop/Reels") {
            return CopyPlanner::isInside(file(QString::fromUtf8(path)),
                                         file(QString::fromUtf8(folder)));
        };
        QVERIFY(inside("/nas/Halcyon_Drop/Reels/a.mov"));
        QVERIFY(inside("/nas/Halcyon_Drop/Reels/x/y/a.mov", "/nas/Halcyon_Drop/Reels/"));
        QVERIFY(!inside("/nas/Halcyon_Drop/Reels"));
        QVERIFY(!inside("/nas/Halcyon_Drop/Reels/"));
        // A sibling whose name starts with the folder's name.
        QVERIFY(!inside("/nas/Halcyon_Drop/Reels2/a.mov"));
        // "." and ".." are resolved before comparing.
        QVERIFY(inside("/nas/Other/../Halcyon_Drop/./Reels/a"));
        QVERIFY(!inside("/nas/Halcyon_Drop/Reels/../a.mov"));
        QVERIFY(CopyPlanner::samePath(file(QStringLiteral("/a/b/./c.mov")),
                                      file(QStringLiteral("/a/x/../b/c.mov"))));
        QVERIFY(!CopyPlanner::samePath(file(QStringLiteral("/a/b/C.mov")),
                                       file(QStringLiteral("/a/b/c.mov"))));
        // Precomposed and combining accents name the same place.
        QVERIFY(CopyPlanner::samePath(file(QStringLiteral("/nas/Caf\u00e9/Sc\u00e8ne.mov")),
                                      file(QStringLiteral("/nas/Cafe\u0301/Sce\u0300ne.mov"))));
        QVERIFY(inside("/nas/Cafe\u0301/a.mov", "/nas/Caf\u00e9"));
        QVERIFY(!inside("/nas/Cafe\u0301s/a.mov", "/nas/Cafe"));

        // Final names are compared under canonical equivalence too.
        FakeInspector inspector;
        QCOMPARE(
            inspector
                .refusal({
                    {file(QStringLiteral("/home/ed/1.mov")), QStringLiteral("Sc\u00e8ne.mov"), {}},
                    {file(QStringLiteral("/home/ed/2.mov")), QStringLiteral("Sce\u0300ne.mov"), {}},
                })
                .kind,
            CopyPlanError::Kind::duplicateName);
    }
};

QTEST_GUILESS_MAIN(CopyPlannerTest)
#include "CopyPlannerTest.moc"
