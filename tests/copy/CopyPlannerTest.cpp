#include "core/copy/CopyPlanner.h"

#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"

#include <QHash>
#include <QTest>

using namespace tessera;

namespace {

const QString reel = QStringLiteral("07_ABC_Reel3");
const QString stamp = QStringLiteral("2412051430");
const QUrl dropRoot = QUrl::fromLocalFile(QStringLiteral("/nas/Halcyon_Drop/Reels"));
const QUrl dayFolder = QUrl::fromLocalFile(QStringLiteral("/nas/Halcyon_Drop/Reels/241205"));

QUrl file(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QString finalName(Surface surface, const QString &reelKey = reel)
{
    return Naming::fileName(reelKey, surface, Proxy::full, stamp);
}

// An in-memory NAS: paths with their digests, and a log of every digest asked for.
struct FakeInspector : FileInspector
{
    QHash<QString, QString> files;
    QStringList hashed;

    bool exists(const QUrl &url) override { return files.contains(url.toLocalFile()); }
    QString sha256(const QUrl &url) override
    {
        hashed.append(url.toLocalFile());
        if (!files.contains(url.toLocalFile()))
            throw CopyError::io(url.fileName(), QStringLiteral("can't open it (gone)"));
        return files.value(url.toLocalFile());
    }
};

struct Report
{
    int position;
    int count;
    QString name;
    friend bool operator==(const Report &, const Report &) = default;
};

} // namespace

class CopyPlannerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyListPlansNothingAndReportsNothing()
    {
        FakeInspector inspector;
        int reports = 0;
        const auto plan = CopyPlanner::plan({}, reel, dayFolder, dropRoot, inspector,
                                            [&](int, int, const QString &) { ++reports; });
        QVERIFY(plan.isEmpty());
        QCOMPARE(reports, 0);
    }

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
        QList<Report> reports;
        const auto plan = CopyPlanner::plan(items, reel, dayFolder, dropRoot, inspector,
                                            [&](int i, int n, const QString &name) {
                                                reports.append({i, n, name});
                                            });
        const QList<CopyAction> expected{
            CopyAction::copy(items[0].source, CopyPlanner::appending(dayFolder, floor)),
            CopyAction::rename(items[1].source, CopyPlanner::appending(dayFolder, awall)),
            CopyAction::done(CopyPlanner::appending(dayFolder, bwall)),
            CopyAction::copy(items[3].source, CopyPlanner::appending(dayFolder, cwall)),
        };
        QCOMPARE(plan, expected);
        QCOMPARE(plan[1].destination().toLocalFile(),
                 QStringLiteral("/nas/Halcyon_Drop/Reels/241205/") + awall);
        QCOMPARE(reports,
                 (QList<Report>{{1, 4, floor}, {2, 4, awall}, {3, 4, bwall}, {4, 4, cwall}}));
        QVERIFY(inspector.hashed.isEmpty());
    }

    void existingDestinationIsDoneOnlyWithTheSameBytes()
    {
        FakeInspector inspector;
        const QString floor = finalName(Surface::floor);
        const QString destination = dayFolder.toLocalFile() + u'/' + floor;
        inspector.files.insert(destination, QStringLiteral("aaa"));
        inspector.files.insert(QStringLiteral("/home/ed/same.mov"), QStringLiteral("aaa"));
        inspector.files.insert(QStringLiteral("/home/ed/other.mov"), QStringLiteral("bbb"));

        auto plan = CopyPlanner::plan({{file(QStringLiteral("/home/ed/same.mov")), floor, {}}},
                                      reel, dayFolder, dropRoot, inspector);
        QCOMPARE(plan, QList<CopyAction>{CopyAction::done(file(destination))});
        // The destination is hashed before the source.
        QCOMPARE(inspector.hashed, (QStringList{destination, QStringLiteral("/home/ed/same.mov")}));

        try {
            CopyPlanner::plan({{file(QStringLiteral("/home/ed/other.mov")), floor, {}}}, reel,
                              dayFolder, dropRoot, inspector);
            QFAIL("a different file under the final name must stop the plan");
        } catch (const CopyPlanError &error) {
            QCOMPARE(error, CopyPlanError::nameTaken(floor));
            QCOMPARE(error.description(),
                     QStringLiteral("There is already a different file called ") + floor +
                         QStringLiteral(" in the drop folder. Tessera never overwrites files. Ask "
                                        "the reel check team to look at it."));
        }

        // The inspector's own errors reach the caller unchanged.
        try {
            CopyPlanner::plan({{file(QStringLiteral("/home/ed/vanished.mov")), floor, {}}}, reel,
                              dayFolder, dropRoot, inspector);
            QFAIL("an unreadable source must stop the plan");
        } catch (const CopyError &error) {
            QCOMPARE(error.kind, CopyError::Kind::io);
            QCOMPARE(error.name, QStringLiteral("vanished.mov"));
        }
    }

    void generatedBytesAreWrittenUnlessTheSameBytesAreThere()
    {
        FakeInspector inspector;
        const QString edl = Naming::edlName(stamp);
        const QString destination = dayFolder.toLocalFile() + u'/' + edl;
        const QByteArray bytes("TITLE: Halcyon\r\n* FROM CLIP NAME: x.mov\r\n");
        const CopyItem item{file(QStringLiteral("/home/ed/never-read.edl")), edl, bytes};

        QCOMPARE(CopyPlanner::plan({item}, reel, dayFolder, dropRoot, inspector),
                 QList<CopyAction>{CopyAction::write(bytes, file(destination))});

        inspector.files.insert(destination, SafeCopier::sha256(bytes));
        QCOMPARE(CopyPlanner::plan({item}, reel, dayFolder, dropRoot, inspector),
                 QList<CopyAction>{CopyAction::done(file(destination))});
        QCOMPARE(inspector.hashed, QStringList{destination});

        inspector.files.insert(destination, SafeCopier::sha256(QByteArray("older EDL")));
        QVERIFY_THROWS_EXCEPTION(CopyPlanError,
                                 CopyPlanner::plan({item}, reel, dayFolder, dropRoot, inspector));
    }

    void errorsComeInTheirOrder()
    {
        FakeInspector inspector;
        const QString floor = finalName(Surface::floor);
        const QString otherReelFile =
            Naming::fileName(QStringLiteral("07_ABC_Reel2"), Surface::floor, Proxy::full, stamp);
        const QUrl onNAS = file(QStringLiteral("/nas/Halcyon_Drop/Reels/241204/") + otherReelFile);
        // The destination exists with other bytes, yet the other reel is named first.
        inspector.files.insert(dayFolder.toLocalFile() + u'/' + floor, QStringLiteral("aaa"));
        inspector.files.insert(onNAS.toLocalFile(), QStringLiteral("bbb"));

        const QList<CopyItem> items{{onNAS, floor, {}}};
        try {
            CopyPlanner::plan(items, reel, dayFolder, dropRoot, inspector);
            QFAIL("a file of another reel must stop the plan");
        } catch (const CopyPlanError &error) {
            QCOMPARE(error,
                     CopyPlanError::otherReel(otherReelFile, QStringLiteral("07_ABC_Reel2")));
            QCOMPARE(error.description(),
                     otherReelFile + QStringLiteral(" already belongs to 07_ABC_Reel2"));
        }
        QVERIFY(inspector.hashed.isEmpty());
        QCOMPARE(CopyPlanner::otherReelProblems(items, reel, dropRoot),
                 QStringList{otherReelFile + QStringLiteral(" already belongs to 07_ABC_Reel2")});

        // A duplicate name wins over the other reel; its progress report was already made.
        inspector.files.insert(QStringLiteral("/home/ed/a.mov"), QStringLiteral("aaa"));
        const QList<CopyItem> twice{{file(QStringLiteral("/home/ed/a.mov")), floor, {}},
                                    {onNAS, floor, {}}};
        QList<Report> reports;
        try {
            CopyPlanner::plan(twice, reel, dayFolder, dropRoot, inspector,
                              [&](int i, int n, const QString &name) {
                                  reports.append({i, n, name});
                              });
            QFAIL("two files with one name must stop the plan");
        } catch (const CopyPlanError &error) {
            QCOMPARE(error.kind, CopyPlanError::Kind::duplicateName);
            QCOMPARE(error.description(), QStringLiteral("Two files would both be called ") +
                                              floor +
                                              QStringLiteral(". Pick a different surface for one "
                                                             "of them."));
        }
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.last(), (Report{2, 2, floor}));

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
              QStringLiteral("a/b.mov"), QStringLiteral("a\u0000b")}) {
            try {
                CopyPlanner::plan({{file(QStringLiteral("/home/ed/a.mov")), name, {}}}, reel,
                                  dayFolder, dropRoot, inspector);
                QFAIL(qPrintable(QStringLiteral("accepted the name ") + name));
            } catch (const CopyPlanError &error) {
                QCOMPARE(error, CopyPlanError::badName(name));
            }
        }
        QCOMPARE(CopyPlanError::badName(QStringLiteral("../x.mov")).description(),
                 QStringLiteral("\"../x.mov\" can't be used as a file name in the drop folder. Ask "
                                "the reel check team to look at the reel's name."));
    }

    void pathTests()
    {
        const QUrl root = file(QStringLiteral("/nas/Halcyon_Drop/Reels"));
        QVERIFY(CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/Reels/a.mov")), root));
        QVERIFY(CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/Reels/x/y/a.mov")),
                                      file(QStringLiteral("/nas/Halcyon_Drop/Reels/"))));
        QVERIFY(!CopyPlanner::isInside(root, root));
        QVERIFY(!CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/Reels/")), root));
        // A sibling whose name starts with the folder's name.
        QVERIFY(
            !CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/Reels2/a.mov")), root));
        QVERIFY(
            !CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/ReelsOld/a.mov")), root));
        // "." and ".." are resolved before comparing.
        QVERIFY(CopyPlanner::isInside(file(QStringLiteral("/nas/Other/../Halcyon_Drop/./Reels/a")),
                                      root));
        QVERIFY(
            !CopyPlanner::isInside(file(QStringLiteral("/nas/Halcyon_Drop/Reels/../a.mov")), root));
        QVERIFY(CopyPlanner::samePath(file(QStringLiteral("/a/b/./c.mov")),
                                      file(QStringLiteral("/a/x/../b/c.mov"))));
        QVERIFY(!CopyPlanner::samePath(file(QStringLiteral("/a/b/C.mov")),
                                       file(QStringLiteral("/a/b/c.mov"))));
        // Precomposed and combining accents name the same place.
        const QString composed = QStringLiteral("/nas/Caf\u00e9/Sc\u00e8ne.mov");
        const QString decomposed = QStringLiteral("/nas/Cafe\u0301/Sce\u0300ne.mov");
        QVERIFY(CopyPlanner::samePath(file(composed), file(decomposed)));
        QVERIFY(CopyPlanner::isInside(file(decomposed), file(QStringLiteral("/nas/Caf\u00e9"))));
        QVERIFY(!CopyPlanner::isInside(file(QStringLiteral("/nas/Cafe\u0301s/a.mov")),
                                       file(QStringLiteral("/nas/Cafe"))));

        // Final names are compared under canonical equivalence too.
        FakeInspector inspector;
        const QList<CopyItem> items{
            {file(QStringLiteral("/home/ed/1.mov")), QStringLiteral("Sc\u00e8ne.mov"), {}},
            {file(QStringLiteral("/home/ed/2.mov")), QStringLiteral("Sce\u0300ne.mov"), {}},
        };
        QVERIFY_THROWS_EXCEPTION(CopyPlanError,
                                 CopyPlanner::plan(items, reel, dayFolder, dropRoot, inspector));
    }
};

QTEST_GUILESS_MAIN(CopyPlannerTest)
#include "CopyPlannerTest.moc"
