#include "core/precheck/ExportRules.h"

#include <QTest>

using namespace tessera;

namespace {

MediaInfo fine(int width, int height, const char *codec = "apcs")
{
    return MediaInfo{width, height, QString::fromLatin1(codec), 30.0, 1, {}};
}

QStringList problems(Surface surface, const MediaInfo &info)
{
    return ExportRules::problems(surface, info, ExportRules::fullSizes());
}

} // namespace

class ExportRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyTheExactFormHasNoProblemsAndCodecsAreNamed()
    {
        QCOMPARE(problems(Surface::awall, fine(7972, 3424)), QStringList());
        QCOMPARE(problems(Surface::surtitles, fine(5612, 304, "ap4h")), QStringList());
        // Timecode tracks are allowed.
        MediaInfo withTimecode = fine(5612, 3424);
        withTimecode.otherTracks = {QStringLiteral("timecode")};
        QCOMPARE(problems(Surface::dwall, withTimecode), QStringList());

        QCOMPARE(problems(Surface::awall, fine(7972, 3424, "apco")),
                 QStringList{"Is ProRes 422 Proxy, should be ProRes 422 LT."});
        QCOMPARE(problems(Surface::bwall, fine(5612, 3424, "mp4v")),
                 QStringList{"Is mp4v, should be ProRes 422 LT."});
    }

    void proxySizesReplaceEveryOtherProblem()
    {
        const ExportRules::SizeTable &full = ExportRules::fullSizes();
        const MediaInfo wrongInEveryWay{3986, 1712, QStringLiteral("avc1"), 25, 3, {"audio"}};
        QCOMPARE(problems(Surface::awall, wrongInEveryWay),
                 QStringList{ExportRules::proxyMessage.toString()});
        // An eighth of 7972 is 996.5: both neighbours are proxies, the next pixel is not.
        QVERIFY(ExportRules::isProxySize({996, 428}, Surface::cwall, full));
        QVERIFY(ExportRules::isProxySize({997, 428}, Surface::cwall, full));
        QCOMPARE(problems(Surface::cwall, fine(998, 428)),
                 QStringList{"Is 998×428, should be 7972×3424 for the C wall."});
        QVERIFY(ExportRules::isProxySize({1403, 76}, Surface::surtitles, full));
        QVERIFY(!ExportRules::isProxySize({5612, 304}, Surface::surtitles, full));
        // A surface missing from the table is held to no size at all.
        const ExportRules::SizeTable onlyFloor{{Surface::floor, {4636, 3264}}};
        QVERIFY(!ExportRules::isProxySize({3986, 1712}, Surface::awall, onlyFloor));
        QCOMPARE(ExportRules::problems(Surface::awall, fine(123, 45), onlyFloor), QStringList());

        QCOMPARE(ExportRules::sizes({7, 5}, 2),
                 (std::set<FrameSize>{{3, 2}, {3, 3}, {4, 2}, {4, 3}}));
        QCOMPARE(ExportRules::sizes({8, 4}, 4), (std::set<FrameSize>{{2, 1}}));

        QVERIFY(ExportRules::isProxyName(QStringLiteral("A wall proxy_2.mov")));
        QVERIFY(!ExportRules::isProxyName(QStringLiteral("00_TST_Reel1_awall_v2412051430.mov")));
    }

    void sizesRatesAndTracksAreReportedPreciselyInOrder()
    {
        QCOMPARE(problems(Surface::floor, fine(4636, 3265)),
                 QStringList{"Is 4636×3265, should be 4636×3264 for the Floor."});

        const auto rateProblems = [&](double fps) {
            MediaInfo info = fine(7972, 3424);
            info.fps = fps;
            return problems(Surface::awall, info);
        };
        QCOMPARE(rateProblems(29.995), QStringList());
        QCOMPARE(rateProblems(30.0100001).size(), 1);
        QCOMPARE(rateProblems(30.02), QStringList{"Runs at 30.02 fps, should be 30 fps."});
        QCOMPARE(rateProblems(30000.0 / 1001), QStringList{"Runs at 29.97 fps, should be 30 fps."});

        MediaInfo info = fine(7972, 3424);
        info.videoTracks = 2;
        info.otherTracks = {"timecode", "meta", "text", "audio", "meta", "clfx", "audio"};
        QCOMPARE(problems(Surface::awall, info),
                 (QStringList{"Has more than one video track, should have one.",
                              "Has an audio track, should have none.",
                              "Has a text track, should have none.",
                              "Has an extra clfx track, should have video only.",
                              "Has an extra meta track, should have video only."}));

        // No video track at all: every property of it is missing.
        const MediaInfo soundOnly{0, 0, QString(), 0, 0, {"audio"}};
        QCOMPARE(problems(Surface::bwall, soundOnly),
                 (QStringList{"Is an unknown codec, should be ProRes 422 LT.",
                              "Is 0×0, should be 5612×3424 for the B wall.",
                              "Runs at 0 fps, should be 30 fps.",
                              "Has an audio track, should have none."}));
    }

    void strayLengthsAreMeasuredAgainstTheMedian()
    {
        using Durations = QList<std::optional<double>>;
        using Problems = QMap<qsizetype, QString>;
        QCOMPARE(ExportRules::lengthProblems(Durations{10.00, 10.02, 10.04, 12.00}),
                 (Problems{{3, "Runs 12.00 s, the rest of the reel runs 10.03 s."}}));
        // Absent durations keep their places but take no part.
        QCOMPARE(
            ExportRules::lengthProblems(Durations{std::nullopt, 8.0, std::nullopt, 10.0, 10.0}),
            (Problems{{1, "Runs 8.00 s, the rest of the reel runs 10.00 s."}}));
        // A difference of exactly the tolerance passes, even where floating point adds a hair.
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 10.0, 10.05}).size(), 0);
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 10.0, 10.0501}).size(), 1);
        // Two movies: each is measured against their mean.
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 11.0}).size(), 2);
        QCOMPARE(ExportRules::lengthProblems(Durations{std::nullopt, 3.0, std::nullopt}).size(), 0);
    }
};

QTEST_GUILESS_MAIN(ExportRulesTest)
#include "ExportRulesTest.moc"
