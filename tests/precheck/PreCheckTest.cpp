#include "core/precheck/PreCheck.h"

#include "MovieFixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tessera;
using namespace fixtures;
using PreCheck::File;
using PreCheck::Reading;

namespace {

MediaInfo full(int width, int height, const char *codec = "apcs")
{
    return MediaInfo{width, height, QString::fromLatin1(codec), 30.0, 1, {}};
}

const QString proxyMessage = ExportRules::proxyMessage.toString();

Reading readingOf(const QByteArray &file)
{
    MemorySource source(file);
    return PreCheck::read(source);
}

} // namespace

class PreCheckTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aMissingFileIsUnfinishedAndMediaDataIsNeverRead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(PreCheck::read(dir.filePath(QStringLiteral("missing.mov"))),
                 Reading::unfinished());
        const QByteArray big = movie({Track{"vide", 64, 32}}, 600, 120, 8 << 20);
        MemorySource source(big);
        QCOMPARE(PreCheck::read(source), Reading::movie(full(64, 32), 0.2));
        QVERIFY(source.bytesRead() < 2048);
    }

    // Real exports made by ffmpeg: a fragmented movie, other kinds of file, and movies whose media
    // is missing.
    void filesThatAreNotFinishedMoviesAreSaidTruly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString plain = dir.filePath(QStringLiteral("plain.mov"));
        const QString fragmented = dir.filePath(QStringLiteral("fragmented.mov"));
        const QString raw = dir.filePath(QStringLiteral("raw.mov"));
        const QStringList lt =
            args("-f lavfi -i testsrc=s=64x32:r=30:d=2.2 -c:v prores_ks -profile:v 1");
        QVERIFY(ffmpeg(lt + args("-movflags +faststart") << plain));
        QVERIFY(ffmpeg(lt + args("-movflags frag_keyframe+empty_moov") << fragmented));
        QVERIFY(ffmpeg(lt + args("-f rawvideo") << raw));

        // One fragment per frame, 66 in all: judged by its index, as long as the plain movie.
        const Reading movie = Reading::movie(full(64, 32), 2.2);
        QCOMPARE(PreCheck::read(plain), movie);
        QCOMPARE(PreCheck::read(fragmented), movie);

        const QByteArray bytes = contents(plain);
        const QByteArray fragments = contents(fragmented);
        // Text, a raw ProRes stream, and fragments without the movie they belong to.
        const qsizetype firstFragment = fragments.indexOf("moof") - 4;
        const qsizetype index = fragments.lastIndexOf("mfra") - 4;
        for (const QByteArray &file : {QByteArray("Notes for the floor wall.\n"), contents(raw),
                                       fragments.sliced(firstFragment, index - firstFragment)})
            QCOMPARE(readingOf(file), Reading::notAMovie());

        // Cut short; a movie header whose media was never written, plain or fragmented; a last
        // atom that runs to the end of the file, which ends before its media does.
        const qsizetype mdat = bytes.indexOf("mdat") - 4;
        QByteArray openEnded = bytes;
        openEnded.replace(mdat, 4, be32(0));
        for (const QByteArray &file : {fragments.chopped(100), fragments.first(firstFragment),
                                       bytes.first(mdat), openEnded.chopped(100)})
            QCOMPARE(readingOf(file), Reading::unfinished());
    }

    // A finished export with bytes after its last box is finished when every sample is in the
    // file; its movie box first and its media cut off, or tables that cannot tell, it is not.
    void strayBytesAfterAFinishedMovieDoNotUnfinishIt()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString plain = dir.filePath(QStringLiteral("plain.mov"));
        const QString faststart = dir.filePath(QStringLiteral("faststart.mov"));
        const QStringList lt =
            args("-f lavfi -i testsrc=s=64x32:r=30:d=1 -c:v prores_ks -profile:v 1");
        QVERIFY(ffmpeg(lt + QStringList{plain}));
        QVERIFY(ffmpeg(lt + args("-movflags +faststart") << faststart));

        const Reading finished = Reading::movie(full(64, 32), 1.0);
        for (const QString &path : {plain, faststart})
            QCOMPARE(readingOf(contents(path) + QByteArray(4, '\0')), finished);
        QCOMPARE(readingOf(contents(faststart).chopped(100) + QByteArray(4, '\0')),
                 Reading::unfinished());
        // Built without chunk tables: where the samples are is not known.
        const QByteArray built = fixtures::movie({Track{"vide", 64, 32}});
        QCOMPARE(readingOf(built).kind, Reading::Kind::movie);
        QCOMPARE(readingOf(built + QByteArray(4, '\0')), Reading::unfinished());

        // A damaged movie header is no export still being written.
        QByteArray damaged = contents(plain);
        damaged.replace(damaged.indexOf("mvhd"), 4, "mvh\x7f");
        QCOMPARE(readingOf(damaged), Reading::damaged());
        QCOMPARE(PreCheck::problems({File{"a.mov", Surface::awall, Reading::damaged()}},
                                    ExportRules::fullSizes()),
                 QList<QStringList>{{"Is a damaged QuickTime movie: part of it can't be read. "
                                     "Export it again."}});
    }

    // Without an index a fragmented movie is read through all its fragments, reading a few
    // headers of each.
    void fragmentedMoviesWithoutAnIndexAreReadThroughEveryFragment()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString frames = dir.filePath(QStringLiteral("frames.mov"));
        const QString tenths = dir.filePath(QStringLiteral("tenths.mov"));
        const QStringList lt =
            args("-f lavfi -i testsrc=s=64x32:r=30:d=3 -c:v prores_ks -profile:v 1");
        QVERIFY(ffmpeg(lt + args("-movflags frag_keyframe+empty_moov+skip_trailer") << frames));
        QVERIFY(
            ffmpeg(lt + args("-movflags empty_moov+skip_trailer -frag_duration 100000") << tenths));
        for (const auto &[path, fragments] : {std::pair{frames, 90}, std::pair{tenths, 30}}) {
            const QByteArray bytes = contents(path);
            QCOMPARE(bytes.count("moof"), fragments);
            QVERIFY(!bytes.contains("mfra"));
            MemorySource source(bytes);
            QCOMPARE(PreCheck::read(source), Reading::movie(full(64, 32), 3.0));
            QVERIFY2(source.bytesRead() < 2048 + fragments * 200,
                     qPrintable(QString::number(source.bytesRead())));
        }
    }

    void readingsAreEqualByKindAndPayload()
    {
        QVERIFY(Reading::movie(full(1, 1), 2) != Reading::movie(full(1, 1), 3));
        QVERIFY(Reading::movie(full(1, 1), 2) != Reading::movie(full(1, 2), 2));
        QVERIFY(Reading::unreadable(QStringLiteral("a")) !=
                Reading::unreadable(QStringLiteral("b")));
        QVERIFY(Reading::movie(MediaInfo{}, 0) != Reading::unfinished());
    }

    void eachFileGetsItsOwnListLengthsSpanTheReelAndTheTableIsHonoured()
    {
        const ExportRules::SizeTable &sizes = ExportRules::fullSizes();
        MediaInfo slow = full(5612, 3424);
        slow.fps = 25;
        const QList<File> files{
            // 0: proxy by name, even before it has been read
            File{"Reel_awall_proxy2.mov", Surface::awall, std::nullopt},
            // 1: still being read
            File{"b.mov", Surface::bwall, std::nullopt},
            File{"c.mov", Surface::cwall, Reading::unfinished()},
            File{"notes.mov", Surface::cwall, Reading::notAMovie()},
            File{"d.mov", Surface::dwall,
                 Reading::unreadable(QStringLiteral("track 2 has no handler"))},
            // 5: no surface chosen yet: nothing to say, and its length does not count
            File{"e.mov", std::nullopt, Reading::movie(full(1, 1, "xxxx"), 99)},
            // 6: proxy-sized: only the proxy message, length not counted
            File{"floor.mov", Surface::floor, Reading::movie(full(1159, 816), 50)},
            // 7, 8, 9: complete; 8 has another problem and still counts
            File{"A.mov", Surface::awall, Reading::movie(full(7972, 3424), 10.00)},
            File{"B.mov", Surface::bwall, Reading::movie(slow, 10.02)},
            File{"S.mov", Surface::surtitles, Reading::movie(full(5612, 304, "ap4h"), 12.0)},
        };
        QCOMPARE(PreCheck::problems(files, sizes),
                 (QList<QStringList>{{proxyMessage},
                                     {},
                                     {ExportRules::unfinishedMessage.toString()},
                                     {"Isn't a QuickTime movie at all. Export it again as a "
                                      "QuickTime movie (.mov)."},
                                     {"Couldn't be read as a movie (track 2 has no handler)."},
                                     {},
                                     {proxyMessage},
                                     {},
                                     {"Runs at 25 fps, should be 30 fps."},
                                     {"Runs 12.00 s, the rest of the reel runs 10.02 s."}}));

        const ExportRules::SizeTable small{{Surface::awall, {64, 32}}};
        const QList<File> onlySmall{File{"a.mov", Surface::awall, Reading::movie(full(64, 32), 1)},
                                    File{"b.mov", Surface::awall, Reading::movie(full(32, 16), 1)},
                                    File{"c.mov", Surface::bwall, Reading::movie(full(3, 3), 1)}};
        QCOMPARE(PreCheck::problems(onlySmall, small),
                 (QList<QStringList>{{}, {proxyMessage}, {}}));
    }
};

QTEST_GUILESS_MAIN(PreCheckTest)
#include "PreCheckTest.moc"
