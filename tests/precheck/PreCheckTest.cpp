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
            File{"d.mov", Surface::dwall,
                 Reading::unreadable(QStringLiteral("track 2 has no handler"))},
            // 4: no surface chosen yet: nothing to say, and its length does not count
            File{"e.mov", std::nullopt, Reading::movie(full(1, 1, "xxxx"), 99)},
            // 5: proxy-sized: only the proxy message, length not counted
            File{"floor.mov", Surface::floor, Reading::movie(full(1159, 816), 50)},
            // 6, 7, 8: complete; 7 has another problem and still counts
            File{"A.mov", Surface::awall, Reading::movie(full(7972, 3424), 10.00)},
            File{"B.mov", Surface::bwall, Reading::movie(slow, 10.02)},
            File{"S.mov", Surface::surtitles, Reading::movie(full(5612, 304, "ap4h"), 12.0)},
        };
        QCOMPARE(PreCheck::problems(files, sizes),
                 (QList<QStringList>{{proxyMessage},
                                     {},
                                     {ExportRules::unfinishedMessage.toString()},
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
