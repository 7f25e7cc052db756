#include "core/precheck/MediaProbe.h"

#include "MovieFixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tessera;
using namespace fixtures;

class MediaProbeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_movies; // real movies made by ffmpeg

    static MediaProbe::Result probe(const QByteArray &bytes)
    {
        MemorySource source(bytes);
        return MediaProbe::read(source);
    }

    static MediaInfo info(const QByteArray &bytes)
    {
        const MediaProbe::Result result = probe(bytes);
        if (!result.ok())
            qWarning() << "probe failed:" << result.failure;
        return result.info.value_or(MediaInfo{-1, -1, QStringLiteral("failed"), -1, -1, {}});
    }

    void make(const char *name, const QStringList &arguments)
    {
        m_movies.append(m_dir.filePath(QString::fromUtf8(name)));
        if (!ffmpeg(arguments + QStringList{m_movies.last()}))
            qWarning() << "ffmpeg could not make" << name;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString srt = m_dir.filePath(QStringLiteral("words.srt"));
        put(srt, "1\n00:00:00,000 --> 00:00:00,100\nWords\n");
        const QStringList lt = args("-c:v prores_ks -profile:v 1");
        make("lt-30.mov", args("-f lavfi -i testsrc=s=64x32:r=30:d=0.2") + lt);
        make("4444-2997-audio-timecode.mov",
             args("-f lavfi -i testsrc=s=64x32:r=30000/1001:d=0.2 -f lavfi -i sine=d=0.2 -c:v "
                  "prores_ks -profile:v 4 -pix_fmt yuva444p10le -c:a pcm_s16le -timecode "
                  "01:00:00:00"));
        make("two-video-subtitles.mov",
             (args("-f lavfi -i testsrc=s=64x32:r=30:d=0.2 -f lavfi -i testsrc=s=32x16:r=30:d=0.2 "
                   "-i")
              << srt) +
                 args("-map 0 -map 1 -map 2 -c:s mov_text") + lt);
        make("timecode-faststart.mov",
             args("-f lavfi -i testsrc=s=66x38:r=25:d=0.2 -timecode 01:00:00:00 -movflags "
                  "+faststart") +
                 lt);
        make("mpeg4.mov", args("-f lavfi -i testsrc=s=64x32:r=30:d=0.2 -c:v mpeg4"));
        make("audio-only.mov", args("-f lavfi -i sine=d=0.2 -c:a pcm_s16le"));
        // One fragment per frame: more atoms than the chain walk takes, so its index is read.
        make("fragmented-2997.mov", args("-f lavfi -i testsrc=s=64x32:r=30000/1001:d=2.5 -movflags "
                                         "frag_keyframe+empty_moov") +
                                        lt);
    }

    void realMoviesReadAsFfprobeSeesThem()
    {
        const QHash<QString, QString> ourKinds{{"audio", "audio"}, {"subtitle", "text"}};
        for (const QString &path : std::as_const(m_movies)) {
            const QJsonArray streams = ffprobe(path)[QStringLiteral("streams")].toArray();
            QVERIFY2(!streams.isEmpty(), qPrintable(path));
            const MediaProbe::Result result = MediaProbe::read(path);
            QVERIFY2(result.ok(), qPrintable(path + QStringLiteral(": ") + result.failure));
            const MediaInfo &info = *result.info;

            MediaInfo expected;
            for (const QJsonValue &value : streams) {
                const QJsonObject stream = value.toObject();
                const QString type = stream[QStringLiteral("codec_type")].toString();
                const QString tag = stream[QStringLiteral("codec_tag_string")].toString();
                if (type == u"video") {
                    if (++expected.videoTracks == 1) {
                        expected.width = stream[QStringLiteral("width")].toInt();
                        expected.height = stream[QStringLiteral("height")].toInt();
                        expected.codec = tag;
                        expected.fps =
                            rational(stream[QStringLiteral("avg_frame_rate")].toString());
                    }
                } else {
                    expected.otherTracks.append(type == u"data" && tag == u"tmcd"
                                                    ? QStringLiteral("timecode")
                                                    : ourKinds.value(type, tag));
                }
            }
            QVERIFY2(std::abs(info.fps - expected.fps) < 1e-9,
                     qPrintable(path + QStringLiteral(": %1 fps").arg(info.fps)));
            expected.fps = info.fps;
            QCOMPARE(info, expected);
        }
        // What the set covers, so that a failed ffmpeg run cannot make the comparison empty.
        const MediaInfo prores4444 = *MediaProbe::read(m_movies[1]).info;
        QCOMPARE(prores4444.otherTracks, args("audio timecode"));
        QCOMPARE(prores4444.codec, QStringLiteral("ap4h"));
        QCOMPARE(MediaProbe::read(m_movies[2]).info->videoTracks, 2);
    }

    void cutShortExportsFailWithAReason()
    {
        const QByteArray bytes = contents(m_movies[0]);
        // ffmpeg writes the movie box last, so a cut anywhere loses it.
        QCOMPARE(probe(bytes.chopped(1)).failure,
                 QStringLiteral("the 'moov' box runs past the end of the file"));
        QCOMPARE(MediaProbe::read(m_dir.filePath(QStringLiteral("missing.mov"))).failure,
                 QStringLiteral("it couldn't be opened: no such file or directory"));
        QCOMPARE(MediaProbe::read(m_dir.path()).failure,
                 QStringLiteral("it couldn't be opened: it is a folder, not a file"));
    }

    void trackPropertiesComeFromTheirBoxesInEitherHeaderForm()
    {
        // Natural size halves away from zero.
        const MediaInfo halves = info(movie({Track{"vide", 1919.5, 1079.5}}));
        QCOMPARE(QList<int>({halves.width, halves.height}), QList<int>({1920, 1080}));
        QCOMPARE(info(movie({Track{"vide", 1919.49, 1079.25}})).width, 1919);

        // Only the first video track describes the movie; every track is counted or listed.
        QCOMPARE(info(movie({Track{"soun"}, Track{"vide", 64, 32, "apcs"}, Track{"tmcd"},
                             Track{"vide", 8, 8, "avc1", 600, 10, 5}, Track{"meta"}, Track{"sbtl"},
                             Track{"clcp"}, Track{"subt"}, Track{"text"}, Track{"url "}})),
                 (MediaInfo{64, 32, QStringLiteral("apcs"), 30.0, 2,
                            args("audio timecode meta text text text text url")}));
        QCOMPARE(info(movie({})), MediaInfo{});
        // No sample description: no codec. No sample durations: no rate.
        QCOMPARE(info(movie({Track{"vide", 64, 32, nullptr}})).codec, QString());
        QCOMPARE(info(movie({Track{"vide", 64, 32, "apcs", 600, 0, 6}})).fps, 0.0);
        // The rate is the samples' own, also when the media header counts more time, or none.
        for (const quint32 header : {100800u, 0u}) {
            QByteArray rate = movie({Track{"vide", 64, 32, "apcs", 90000, 3600, 27}});
            rate.replace(rate.indexOf("mdhd") + 20, 4, be32(header));
            QCOMPARE(info(rate).fps, 25.0);
        }

        QCOMPARE(MediaProbe::fourCC(0x20206120), QStringLiteral("a"));
        QCOMPARE(MediaProbe::fourCC(0x61ff6263), QStringLiteral("a\uFFFDbc"));
        const QByteArray stbl =
            atom("stbl", stsd("apcs") + stts({{10, 512}, {5, 512}}) + atom("stsz", be32(0)));
        const QByteArray mdia =
            atom64("mdia", mdhd(15360, 15 * 512, 1) + hdlr("vide") + atom("minf", stbl));
        const QByteArray moov =
            atom("moov", mvhd(1, 600, 600) + atom("trak", tkhd(7972, 3424, 1) + mdia));
        const MediaInfo expected{7972, 3424, QStringLiteral("apcs"), 30.0, 1, {}};
        QCOMPARE(info(ftyp() + moov + be32(0) + "mdat" + QByteArray(32, 'x')), expected);
        QCOMPARE(info(ftyp() + atom64("mdat", QByteArray(32, 'x')) + moov), expected);
    }

    void brokenBoxesFailWithAReason()
    {
        QCOMPARE(probe(ftyp() + atom("mdat", QByteArray(8, 'x'))).failure,
                 QStringLiteral("it has no movie box (moov)"));
        QCOMPARE(probe(ftyp() + atom("moov", atom("trak", tkhd(64, 32)))).failure,
                 QStringLiteral("track 1 has no media box"));
        QCOMPARE(probe(atom("moov", be32(100) + "trak" + QByteArray(8, '\0'))).failure,
                 QStringLiteral("the 'trak' box runs past the end of the movie box"));
        QCOMPARE(probe(atom("moov", be32(3) + "tr\x01k")).failure,
                 QStringLiteral("the 'tr?k' box in the movie box has an impossible size"));
        // A time-to-sample table that claims more entries than it holds.
        QByteArray lying = movie({Track{"vide", 64, 32}});
        lying.replace(lying.indexOf("stts") + 8, 4, be32(0x10000000));
        QCOMPARE(probe(lying).failure,
                 QStringLiteral("the time-to-sample table of track 1 is too short"));
        // A table that does hold more entries than any reel has frames is not read through.
        const quint32 entries = (4 << 20) + 1;
        const QByteArray endless =
            atom("stts", be32(0) + be32(entries) + QByteArray(entries * 8, 0));
        const QByteArray mdia =
            atom("mdia", mdhd(3000, 600) + hdlr("vide") + atom("minf", atom("stbl", endless)));
        QCOMPARE(probe(atom("moov", atom("trak", tkhd(64, 32) + mdia))).failure,
                 QStringLiteral("the time-to-sample table of track 1 is too long"));
        // Tens of thousands of empty boxes are refused rather than walked, wherever they are.
        const QString tooMany = QStringLiteral("it holds too many boxes");
        const QByteArray crowded = atom("free").repeated(10001);
        QCOMPARE(probe(crowded + atom("moov")).failure, tooMany);
        QCOMPARE(probe(atom("moov", crowded)).failure, tooMany);
        const QByteArray manyTracks =
            atom("trak", atom("mdia", hdlr("soun") + atom("free") + atom("free"))).repeated(2000);
        QCOMPARE(probe(atom("moov", manyTracks)).failure, tooMany);
        QCOMPARE(
            probe(atom("moov", manyTracks.first(manyTracks.size() / 2))).info->otherTracks.size(),
            1000);
    }
};

QTEST_GUILESS_MAIN(MediaProbeTest)
#include "MediaProbeTest.moc"
