#include "core/naming/Naming.h"

#include <QTest>

#include <limits>

using namespace tessera;

class NamingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void composesFileNamesFromTrimmedKeys()
    {
        QCOMPARE(Naming::fileName(QStringLiteral(" \t00_TST_Reel1\u00a0"),
                                  Slot{Surface::floor, Proxy::quarter},
                                  QStringLiteral("2412051430")),
                 QStringLiteral("00_TST_Reel1_floor_proxy4_v2412051430.mov"));
        QCOMPARE(Naming::fileName(QStringLiteral("00_TST_Reel1 "), Surface::floor, Proxy::full,
                                  QStringLiteral("2412051430")),
                 QStringLiteral("00_TST_Reel1_floor_v2412051430.mov"));
        // Line breaks are not horizontal space and stay.
        QCOMPARE(Naming::fileName(QStringLiteral("00_TST_Reel1\n"), Surface::awall, Proxy::full,
                                  QStringLiteral("1")),
                 QStringLiteral("00_TST_Reel1\n_awall_v1.mov"));
        QCOMPARE(Naming::dayFolder(QStringLiteral("2412051430")), QStringLiteral("241205"));
        QCOMPARE(Naming::dayFolder(QStringLiteral("2412")), QStringLiteral("2412"));
    }

    void parsesAndValidatesOnlyWholeWellFormedNamesKeysAndStamps()
    {
        const auto parsed =
            Naming::parse(QStringLiteral("00_TST_Reel12_floor_proxy4_v2412051430.mov"));
        QCOMPARE(parsed,
                 (ParsedName{"00", "TST", 12, Surface::floor, Proxy::quarter, "2412051430"}));
        QCOMPARE(parsed->reelKey(), QStringLiteral("00_TST_Reel12"));
        QCOMPARE(Naming::parse(QStringLiteral("00_TST_Reel1_awall_v2412051430.mov"))->proxy,
                 Proxy::full);
        // Reel numbers beyond 64 bits parse as zero.
        QCOMPARE(
            Naming::parse(QStringLiteral("01_ABC_Reel99999999999999999999_awall_v2412051430.mov"))
                ->reelNumber,
            0);

        for (const char *bad :
             {"00_TST_Reel1_awall_v2412051430.MOV", "Reels/00_TST_Reel1_awall_v2412051430.mov",
              "000_TST_Reel1_awall_v2412051430.mov", "00_TST_Reel01_awall_v2412051430.mov",
              "00_TST_Reel1_awall_proxy3_v2412051430.mov", "00_TST_Reel1_awall_v241205143.mov",
              "00_TST_Reel1_awall_v24120514300.mov", "00_tst_Reel1_awall_v2412051430.mov",
              "00_TST_Reel1_Awall_v2412051430.mov", "00_TST_Reel1_awall_v2412051430.mov.part",
              "00_TST_Reel1_awall_v\u0662412051430.mov", ""})
            QVERIFY2(!Naming::parse(QString::fromUtf8(bad)), bad);

        for (const char *good : {"00_TST_Reel1", "99_XYZ_Reel9000"})
            QVERIFY2(Naming::isValidReelKey(QString::fromLatin1(good)), good);
        for (const char *bad :
             {"0_TST_Reel1", "00_tst_Reel1", "00_TST_Reel0", "00_TST_Reel01", "00_TST_Reel1x",
              "00_TST_Reel1 ", " 00_TST_Reel1", "00_TST_reel1", "00_TSTA_Reel1", ""})
            QVERIFY2(!Naming::isValidReelKey(QString::fromLatin1(bad)), bad);

        QVERIFY(Naming::isValidStamp(u"0000000000"));
        // Nine and eleven digits, a space, an Arabic-Indic three, full-width digits.
        for (const char16_t *bad : {u"241205143", u"24120514300", u"24120514 0", u"241205143\u0663",
                                    u"２４１２０５１４３０"})
            QVERIFY2(!Naming::isValidStamp(bad), qPrintable(QString::fromUtf16(bad)));
    }

    void slotsAndReelNumbersRoundTrip()
    {
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        for (const qint64 reel : {qint64(1), qint64(9000), largest - 1, largest}) {
            const QString key = QStringLiteral("07_QZX_Reel") + QString::number(reel);
            QVERIFY2(Naming::isValidReelKey(key), qPrintable(key));
            for (Surface surface : allSurfaces) {
                for (Proxy proxy : allProxies) {
                    const QString name =
                        Naming::fileName(key, Slot{surface, proxy}, QStringLiteral("0912310059"));
                    const auto parsed = Naming::parse(name);
                    QVERIFY2(parsed, qPrintable(name));
                    QCOMPARE(parsed->reelNumber, reel);
                    QCOMPARE(parsed->reelKey(), key);
                    QCOMPARE((Slot{parsed->surface, parsed->proxy}), (Slot{surface, proxy}));
                    QCOMPARE(parsed->version, QStringLiteral("0912310059"));
                }
            }
        }
        for (Surface surface : allSurfaces)
            QCOMPARE(surfaceFromRawValue(rawValue(surface)), surface);
        QCOMPARE(surfaceFromRawValue(u"AWALL"), std::nullopt);
        QCOMPARE(surfaceFromRawValue(u"awall "), std::nullopt);

        for (Proxy proxy : allProxies)
            QCOMPARE(proxyFromRawValue(rawValue(proxy)), proxy);
        for (long long other : {0LL, 3LL, 16LL, -2LL})
            QCOMPARE(proxyFromRawValue(other), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(NamingTest)
#include "NamingTest.moc"
