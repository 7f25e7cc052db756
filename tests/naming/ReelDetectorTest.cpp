#include "core/naming/ReelDetector.h"

#include "core/naming/ReelSearch.h"

#include <QTest>

using namespace tessera;

namespace {

QList<QString> names(const QList<Reel> &reels)
{
    QList<QString> result;
    for (const Reel &reel : reels)
        result.append(reel.name);
    return result;
}

} // namespace

class ReelDetectorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsKeysSuggestsOnlyWhenNamesAgreeAndNamesMismatches()
    {
        for (const char *name :
             {"01 tst reel 3 awall.mov", "1-TST-Reel_03_floor_v2.mov", "001_tst_reel3.edl",
              "01_TST_Reel3_cwall_v2412051430.mov", "01_tst_reel3", "1 TST REEL-0003.mov"})
            QCOMPARE(ReelDetector::reelKey(QString::fromUtf8(name)),
                     QStringLiteral("01_TST_Reel3"));
        for (const char *name :
             {"tst_reel3.mov", "01_tst_reel0.mov", "01_tst_reel3b.mov", "123_tst_reel1.mov",
              "0012_tst_reel1.mov", "01_ts_reel1.mov", "x01_tst_reel1.mov", "01_tst_reel.mov", ""})
            QCOMPARE(ReelDetector::reelKey(QString::fromUtf8(name)), std::nullopt);
        // Reel numbers too large to read give nothing rather than a wrong key.
        QCOMPARE(ReelDetector::reelKey(QStringLiteral("01_tst_reel99999999999999999999.mov")),
                 std::nullopt);
        QCOMPARE(ReelDetector::reelKey(QStringLiteral("9_abc_reel_12.mov")),
                 QStringLiteral("09_ABC_Reel12"));

        QCOMPARE(ReelDetector::suggestion(QStringList{
                     "01_tst_reel3_awall.mov", "1 TST reel 3 floor.mov", "01_TST_Reel3.edl"}),
                 QStringLiteral("01_TST_Reel3"));
        QCOMPARE(ReelDetector::suggestion(
                     QStringList{"01_tst_reel3_awall.mov", "01_tst_reel4_floor.mov"}),
                 std::nullopt);
        QCOMPARE(ReelDetector::suggestion(QStringList{"awall.mov", "final.edl"}), std::nullopt);
        QCOMPARE(ReelDetector::reels(QStringList{"02_abc_reel1.mov", "01_tst_reel4.mov", "x.mov",
                                                 "01_tst_reel4_b.mov", "01_tst_reel12.mov"}),
                 (QStringList{"01_TST_Reel12", "01_TST_Reel4", "02_ABC_Reel1"}));

        const QStringList dropped{"01_tst_reel3_awall.mov", "01_tst_reel4_floor.mov", "notes.txt"};
        QCOMPARE(ReelDetector::mismatches(dropped, QStringLiteral("01_TST_Reel3")),
                 QStringList{"01_TST_Reel4"});
        QCOMPARE(ReelDetector::mismatches(QStringList{"awall.mov"}, QStringLiteral("01_TST_Reel3")),
                 QStringList());

        QCOMPARE(ReelDetector::list({}), QString());
        QCOMPARE(ReelDetector::list(QStringList{"A", "B"}), QStringLiteral("A and B"));
        QCOMPARE(ReelDetector::list(QStringList{"A", "B", "C"}), QStringLiteral("A, B and C"));
    }

    void searchMatchesChapterCodeAndNumbersAndFilterKeepsOrder()
    {
        const Reel reel{QStringLiteral("rec1"), QStringLiteral("00_TST_Reel1")};
        for (const char *query : {"TST 1", "t", "00", "1", "reel1", "reel", "tst_reel1", " tst\t",
                                  "Reel1", "_tst_", "", "00 tst 1"})
            QVERIFY2(ReelSearch::matches(reel, QString::fromUtf8(query)), query);
        for (const char *query : {"10", "reel2", "01", "tst 2", "abc", "x"})
            QVERIFY2(!ReelSearch::matches(reel, QString::fromUtf8(query)), query);

        // A reel number word fails at once; "reelx" is only a containment test.
        const Reel odd{QStringLiteral("rec2"), QStringLiteral("05_ABC_reelx")};
        QVERIFY(ReelSearch::matches(odd, QStringLiteral("reelx")));
        QVERIFY(!ReelSearch::matches(odd, QStringLiteral("reel3")));

        // A reel named in two pieces has no reel number for a one-digit word to match.
        const Reel twoPieces{QStringLiteral("rec3"), QStringLiteral("07_TST")};
        QVERIFY(!ReelSearch::matches(twoPieces, QStringLiteral("7")));
        QVERIFY(ReelSearch::matches(twoPieces, QStringLiteral("07")));

        const QList<Reel> reels{{"a", "02_TST_Reel1"},
                                {"b", "00_TST_Reel1"},
                                {"c", "00_ABC_Reel2"},
                                {"d", "00_TST_Reel12"}};
        QCOMPARE(ReelSearch::filter(reels, QStringLiteral("  \t ")), reels);
        QCOMPARE(names(ReelSearch::filter(reels, QStringLiteral("tst 1"))),
                 (QStringList{"02_TST_Reel1", "00_TST_Reel1"}));
        QCOMPARE(names(ReelSearch::filter(reels, QStringLiteral("00"))),
                 (QStringList{"00_TST_Reel1", "00_ABC_Reel2", "00_TST_Reel12"}));
        QVERIFY(ReelSearch::filter(reels, QStringLiteral("zzz")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ReelDetectorTest)
#include "ReelDetectorTest.moc"
