#include "MovieFixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

namespace {

// What --json prints for a passing movie, an unfinished one and one that cannot be read.
const char *const expectedJson = R"([
    {"name": "Reel1_surtitles.mov", "surface": "surtitles", "problems": [],
     "reading": {"kind": "movie", "width": 5612, "height": 304, "codec": "ap4h",
                 "fps": 30, "videoTracks": 1, "otherTracks": [], "duration": 0.1}},
    {"name": "Reel1_floor.mov", "surface": "floor", "reading": {"kind": "unfinished"},
     "problems": ["Isn't a finished QuickTime movie: it is still exporting or was cut short. Export it again."]},
    {"name": "broken_dwall.mov", "surface": "dwall",
     "reading": {"kind": "unreadable", "detail": "track 1 has no media box"},
     "problems": ["Couldn't be read as a movie (track 1 has no media box)."]}
])";

} // namespace

class TesseraCheckTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_surtitles; // a full-size surtitles movie: passes every rule
    QString m_wall;      // a small A wall movie: wrong size, 1 s
    QString m_longWall;  // the same, 2 s
    QString m_cut;       // the small movie cut short
    QString m_unnamed;   // the surtitles movie under a name that gives no surface

    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };

    Run check(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(TESSERA_CHECK_PROGRAM), arguments);
        Run run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return run;
        run.status = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    // A movie of the given lavfi source and codec options.
    QString make(const char *name, const QString &line)
    {
        const QString path = m_dir.filePath(QString::fromUtf8(name));
        if (!ffmpeg(args("-f lavfi -i") + line.split(u' ', Qt::SkipEmptyParts) << path))
            qWarning() << "ffmpeg could not make" << name;
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString lt = QStringLiteral(" -c:v prores_ks -profile:v 1");
        m_surtitles = make("Reel1_surtitles.mov",
                           QStringLiteral("color=c=black:s=5612x304:r=30:d=0.1 -c:v prores_ks "
                                          "-profile:v 4 -pix_fmt yuva444p10le"));
        m_wall = make("Reel1_A_wall.mov", QStringLiteral("color=c=red:s=64x32:r=30:d=1") + lt);
        m_longWall = make("Reel1_B_wall.mov", QStringLiteral("color=c=red:s=64x32:r=30:d=2") + lt);
        m_cut = m_dir.filePath(QStringLiteral("Reel1_floor.mov"));
        put(m_cut, contents(m_wall).chopped(10));
        m_unnamed = m_dir.filePath(QStringLiteral("export.mov"));
        QVERIFY(QFile::copy(m_surtitles, m_unnamed));
    }

    void aMovieThatPassesExitsZeroAndOneSurfaceCanBeGivenForAll()
    {
        // A movie whose name gives no surface has nothing to be judged against.
        const Run run = check({m_surtitles, m_unnamed});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("Reel1_surtitles.mov: Surtitles\n  ok\n"
                                         "export.mov: no surface\n  ok\n"
                                         "You dropped 2 files. Most reels have 6 (A, B, C, D, "
                                         "Floor, Surtitles). Missing: A, B, C, D, Floor.\n"));
        QCOMPARE(run.err, QString());
        // With one surface for all files, both are judged as A walls.
        const Run forced =
            check({QStringLiteral("--surface"), QStringLiteral("awall"), m_unnamed, m_surtitles});
        QCOMPARE(forced.status, 1);
        QVERIFY(forced.out.startsWith(QStringLiteral("export.mov: A wall\n  Is ProRes 4444, should "
                                                     "be ProRes 422 LT.\n  Is 5612×304, should be "
                                                     "7972×3424 for the A wall.\n")));
        QVERIFY(forced.out.contains(QStringLiteral("Reel1_surtitles.mov: A wall\n")));
    }

    void problemsAreListedPerFileAndLengthsSpanTheFiles()
    {
        const Run run = check({m_wall, m_surtitles, m_cut, m_longWall});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out,
                 QStringLiteral(
                     "Reel1_A_wall.mov: A wall\n"
                     "  Is 64×32, should be 7972×3424 for the A wall.\n"
                     "Reel1_surtitles.mov: Surtitles\n"
                     "  Runs 0.10 s, the rest of the reel runs 1.00 s.\n"
                     "Reel1_floor.mov: Floor\n"
                     "  Isn't a finished QuickTime movie: it is still exporting or was cut short. "
                     "Export it again.\n"
                     "Reel1_B_wall.mov: B wall\n"
                     "  Is 64×32, should be 5612×3424 for the B wall.\n"
                     "  Runs 2.00 s, the rest of the reel runs 1.00 s.\n"
                     "You dropped 4 files. Most reels have 6 (A, B, C, D, Floor, Surtitles). "
                     "Missing: C, D.\n"));
    }

    void jsonDescribesEveryReading()
    {
        const QString broken = m_dir.filePath(QStringLiteral("broken_dwall.mov"));
        put(broken, ftyp() + atom("moov", mvhd(0, 600, 600) + atom("trak")));
        const Run run = check({QStringLiteral("--json"), m_surtitles, m_cut, broken});
        QCOMPARE(run.status, 1);
        QJsonParseError error;
        const QJsonArray array = QJsonDocument::fromJson(run.out.toUtf8(), &error).array();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray expected = QJsonDocument::fromJson(expectedJson).array();
        QCOMPARE(expected.size(), 3);
        QCOMPARE(array, expected);
    }

    void mistakesInTheCommandExitTwo()
    {
        const QList<QStringList> mistakes{
            {},
            {QStringLiteral("--colour"), m_wall},
            {QStringLiteral("--surface"), QStringLiteral("A wall"), m_wall},
            {QStringLiteral("--surface")},
            {m_wall, m_dir.filePath(QStringLiteral("missing.mov"))},
            {m_dir.path()},
        };
        for (const QStringList &arguments : mistakes) {
            const Run run = check(arguments);
            QCOMPARE(run.status, 2);
            QCOMPARE(run.out, QString());
            QVERIFY2(run.err.startsWith(QStringLiteral("tessera-check: ")), qPrintable(run.err));
            QCOMPARE(run.err.count(u'\n'), 1);
        }
        const Run missing = check({m_wall, m_dir.filePath(QStringLiteral("missing.mov"))});
        QVERIFY(
            missing.err.contains(QStringLiteral("missing.mov couldn't be opened: no such file")));
    }
};

QTEST_GUILESS_MAIN(TesseraCheckTest)
#include "TesseraCheckTest.moc"
