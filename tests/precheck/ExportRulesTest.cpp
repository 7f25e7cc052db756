#include "core/precheck/ExportRules.h"

#include <QTest>

using namespace tessera;

namespace {

MediaInfo fine(int width, int height, const char *codec = "apcs")
{
    return MediaInfo{width, height, QString::fromLatin1(codec), 30.0, 1, {}};
}

} // namespace

class ExportRulesTest : public QObject
{
    Q_OBJECT

    const ExportRules::SizeTable &full = ExportRules::fullSizes();

private Q_SLOTS:
    void aMovieInTheExactFormHasNoProblems()
    {
        QCOMPARE(ExportRules::problems(Surface::awall, fine(7972, 3424), full), QStringList());
        QCOMPARE(ExportRules::problems(Surface::floor, fine(4636, 3264), full), QStringList());
        QCOMPARE(ExportRules::problems(Surface::surtitles, fine(5612, 304, "ap4h"), full),
                 QStringList());
        // Timecode tracks are allowed.
        MediaInfo withTimecode = fine(5612, 3424);
        withTimecode.otherTracks = {QStringLiteral("timecode")};
        QCOMPARE(ExportRules::problems(Surface::dwall, withTimecode, full), QStringList());
    }

    void codecsAreNamedForTheEditor()
    {
        QCOMPARE(ExportRules::problems(Surface::surtitles, fine(5612, 304, "apcs"), full),
                 QStringList{QStringLiteral("Is ProRes 422 LT, should be ProRes 4444.")});
        QCOMPARE(ExportRules::problems(Surface::awall, fine(7972, 3424, "apco"), full),
                 QStringList{QStringLiteral("Is ProRes 422 Proxy, should be ProRes 422 LT.")});
        QCOMPARE(ExportRules::problems(Surface::bwall, fine(5612, 3424, "mp4v"), full),
                 QStringList{QStringLiteral("Is mp4v, should be ProRes 422 LT.")});
        QCOMPARE(ExportRules::codecName(QString()), QStringLiteral("an unknown codec"));
        QCOMPARE(ExportRules::codecName(QStringLiteral("hev1")), QStringLiteral("HEVC"));
        QCOMPARE(ExportRules::codec(Surface::floor), QStringLiteral("apcs"));
    }

    void proxySizesReplaceEveryOtherProblem()
    {
        MediaInfo wrongInEveryWay{3986, 1712, QStringLiteral("avc1"),
                                  25,   3,    {QStringLiteral("audio"), QStringLiteral("meta")}};
        QCOMPARE(ExportRules::problems(Surface::awall, wrongInEveryWay, full),
                 QStringList{ExportRules::proxyMessage.toString()});
        // An eighth of 7972 is 996.5: both neighbours are proxies, the next pixel is not.
        QVERIFY(ExportRules::isProxySize({996, 428}, Surface::cwall, full));
        QVERIFY(ExportRules::isProxySize({997, 428}, Surface::cwall, full));
        QCOMPARE(ExportRules::problems(Surface::cwall, fine(998, 428), full),
                 QStringList{QStringLiteral("Is 998×428, should be 7972×3424 for the C wall.")});
        QVERIFY(ExportRules::isProxySize({702, 38}, Surface::surtitles, full));
        QVERIFY(ExportRules::isProxySize({1403, 76}, Surface::surtitles, full));
        QVERIFY(!ExportRules::isProxySize({5612, 304}, Surface::surtitles, full));
        // A surface missing from the table is held to no size at all.
        const ExportRules::SizeTable onlyFloor{{Surface::floor, {4636, 3264}}};
        QVERIFY(!ExportRules::isProxySize({3986, 1712}, Surface::awall, onlyFloor));
        QCOMPARE(ExportRules::problems(Surface::awall, fine(123, 45), onlyFloor), QStringList());

        QCOMPARE(ExportRules::sizes({7972, 3424}, 8),
                 (std::set<FrameSize>{{996, 428}, {997, 428}}));
        QCOMPARE(ExportRules::sizes({7, 5}, 2),
                 (std::set<FrameSize>{{3, 2}, {3, 3}, {4, 2}, {4, 3}}));
        QCOMPARE(ExportRules::sizes({8, 4}, 4), (std::set<FrameSize>{{2, 1}}));
    }

    void proxyNamesAreRecognised()
    {
        QVERIFY(
            ExportRules::isProxyName(QStringLiteral("00_TST_Reel1_awall_proxy4_v2412051430.mov")));
        QVERIFY(ExportRules::isProxyName(QStringLiteral("A wall proxy_2.mov")));
        QVERIFY(!ExportRules::isProxyName(QStringLiteral("00_TST_Reel1_awall_v2412051430.mov")));
    }

    void sizesAndRatesAreReportedPrecisely()
    {
        QCOMPARE(ExportRules::problems(Surface::awall, fine(3840, 2160), full),
                 QStringList{QStringLiteral("Is 3840×2160, should be 7972×3424 for the A wall.")});
        QCOMPARE(ExportRules::problems(Surface::floor, fine(4636, 3265), full),
                 QStringList{QStringLiteral("Is 4636×3265, should be 4636×3264 for the Floor.")});

        const auto rateProblems = [&](double fps) {
            MediaInfo info = fine(7972, 3424);
            info.fps = fps;
            return ExportRules::problems(Surface::awall, info, full);
        };
        QCOMPARE(rateProblems(30.005), QStringList());
        QCOMPARE(rateProblems(29.995), QStringList());
        QCOMPARE(rateProblems(30.02),
                 QStringList{QStringLiteral("Runs at 30.02 fps, should be 30 fps.")});
        QCOMPARE(rateProblems(30000.0 / 1001),
                 QStringList{QStringLiteral("Runs at 29.97 fps, should be 30 fps.")});
        QCOMPARE(rateProblems(25),
                 QStringList{QStringLiteral("Runs at 25 fps, should be 30 fps.")});
        QCOMPARE(rateProblems(30.0100001).size(), 1);
        QCOMPARE(ExportRules::fpsText(60), QStringLiteral("60"));
        QCOMPARE(ExportRules::fpsText(23.976), QStringLiteral("23.98"));
    }

    void tracksAreJudgedInOrder()
    {
        MediaInfo info = fine(7972, 3424);
        info.videoTracks = 2;
        info.otherTracks = {QStringLiteral("timecode"), QStringLiteral("meta"),
                            QStringLiteral("text"),     QStringLiteral("audio"),
                            QStringLiteral("meta"),     QStringLiteral("clfx"),
                            QStringLiteral("audio")};
        QCOMPARE(ExportRules::problems(Surface::awall, info, full),
                 (QStringList{QStringLiteral("Has more than one video track, should have one."),
                              QStringLiteral("Has an audio track, should have none."),
                              QStringLiteral("Has a text track, should have none."),
                              QStringLiteral("Has an extra clfx track, should have video only."),
                              QStringLiteral("Has an extra meta track, should have video only.")}));

        info = fine(7972, 3424);
        info.otherTracks = {QStringLiteral("audio"), QStringLiteral("meta"),
                            QStringLiteral("timecode")};
        QCOMPARE(ExportRules::problems(Surface::awall, info, full),
                 (QStringList{QStringLiteral("Has an audio track, should have none."),
                              QStringLiteral("Has an extra meta track, should have video only.")}));

        // No video track at all: every property of it is missing.
        const MediaInfo soundOnly{0, 0, QString(), 0, 0, {QStringLiteral("audio")}};
        QCOMPARE(ExportRules::problems(Surface::bwall, soundOnly, full),
                 (QStringList{QStringLiteral("Is an unknown codec, should be ProRes 422 LT."),
                              QStringLiteral("Is 0×0, should be 5612×3424 for the B wall."),
                              QStringLiteral("Runs at 0 fps, should be 30 fps."),
                              QStringLiteral("Has an audio track, should have none.")}));
    }

    void strayLengthsAreMeasuredAgainstTheMedian()
    {
        using Durations = QList<std::optional<double>>;
        QCOMPARE(ExportRules::lengthProblems(Durations{10.00, 10.02, 10.04, 12.00}),
                 (QMap<qsizetype, QString>{
                     {3, QStringLiteral("Runs 12.00 s, the rest of the reel runs 10.03 s.")}}));
        // Absent durations keep their places but take no part.
        QCOMPARE(
            ExportRules::lengthProblems(Durations{std::nullopt, 8.0, std::nullopt, 10.0, 10.0}),
            (QMap<qsizetype, QString>{
                {1, QStringLiteral("Runs 8.00 s, the rest of the reel runs 10.00 s.")}}));
        // A difference of exactly the tolerance passes, even where floating point adds a hair.
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 10.0, 10.05}).size(), 0);
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 10.0, 10.0501}).size(), 1);
        // Two movies: each is measured against their mean.
        QCOMPARE(ExportRules::lengthProblems(Durations{10.0, 11.0}).size(), 2);
        QCOMPARE(ExportRules::lengthProblems(Durations{500.0}).size(), 0);
        QCOMPARE(ExportRules::lengthProblems(Durations{std::nullopt, 3.0, std::nullopt}).size(), 0);
    }

    void frameSizesWriteAndOrder()
    {
        QCOMPARE((FrameSize{7972, 3424}).text(), QStringLiteral("7972×3424"));
        QVERIFY((FrameSize{996, 428}) < (FrameSize{997, 0}));
        QVERIFY((FrameSize{997, 427}) < (FrameSize{997, 428}));
        QCOMPARE(qHash(FrameSize{1, 2}), qHash(FrameSize{1, 2}));
    }
};

QTEST_GUILESS_MAIN(ExportRulesTest)
#include "ExportRulesTest.moc"
