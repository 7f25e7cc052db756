#include "core/copy/CopyProgress.h"

#include <QTest>

#include <limits>

using namespace tessera;

class CopyProgressTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rateNeedsHalfASecondTimeLeftAFullOneAndTheWindowKeepsAnEdgeSample()
    {
        RateMeter meter(3);
        QVERIFY(!meter.perSecond());
        QVERIFY(!meter.secondsLeft(100, 10));
        meter.add(10.0, 0);
        QVERIFY(!meter.perSecond());
        meter.add(10.4, 400);
        QVERIFY(!meter.perSecond());
        meter.add(10.5, 500);
        QCOMPARE(*meter.perSecond(), 1000.0);
        // Within the first second after the first sample: no estimate, however many samples.
        meter.add(10.9, 900);
        QVERIFY(!meter.secondsLeft(1000, 10.99));
        QCOMPARE(*meter.secondsLeft(1000, 11.0), 1.0);
        QCOMPARE(*meter.secondsLeft(-5, 11.0), 0.0);

        RateMeter window(3);
        for (int i = 0; i <= 10; ++i)
            window.add(i, i * 100);
        // At t = 10 the window starts at 7: the sample at 7 stays, the ones before it go.
        QCOMPARE(window.samples.first().t, 7.0);
        QCOMPARE(window.samples.size(), 4);
        QCOMPARE(*window.perSecond(), 100.0);

        // A long pause still leaves two samples to measure over.
        window.add(100, 2000);
        QCOMPARE(window.samples.size(), 2);
        QCOMPARE(*window.perSecond(), 1000.0 / 90);

        // Work that goes backwards is no speed and gives no estimate.
        RateMeter backwards(3);
        backwards.add(0, 1000);
        backwards.add(2, 0);
        QCOMPARE(*backwards.perSecond(), 0.0);
        QVERIFY(!backwards.secondsLeft(10, 5));
    }

    void work()
    {
        QCOMPARE(CopyWork::total({10, 20}), 60);
        QCOMPARE(CopyWork::done(30, 12), 42);
    }

    void texts()
    {
        QCOMPARE(ProgressText::bytes(500'000'000, 999'999'999), QStringLiteral("500 of 1000 MB"));
        QCOMPARE(ProgressText::bytes(500'000'000, 1'000'000'000), QStringLiteral("0.5 of 1.0 GB"));
        QCOMPARE(ProgressText::bytes(0, 0), QStringLiteral("0 of 0 MB"));
        QCOMPARE(ProgressText::speed(1.2e9), QStringLiteral("1.2 GB/s"));
        QCOMPARE(ProgressText::speed(410e6), QStringLiteral("410 MB/s"));
        QCOMPARE(ProgressText::speed(999.6e6), QStringLiteral("1000 MB/s"));

        const QList<std::pair<double, const char *>> times{
            {4.9, "less than 5 s left"},    {-3, "less than 5 s left"},
            {5, "about 5 s left"},          {9.4, "about 9 s left"},
            {9.5, "about 10 s left"},       {12.4, "about 10 s left"},
            {12.5, "about 15 s left"},      {59.9, "about 55 s left"},
            {60, "about 1 min left"},       {89.9, "about 1 min left"},
            {90, "about 2 min left"},       {3569, "about 59 min left"},
            {3570, "about 1 h 0 min left"}, {7530, "about 2 h 6 min left"},
        };
        for (const auto &[seconds, text] : times)
            QCOMPARE(ProgressText::timeLeft(seconds), QString::fromLatin1(text));
        // Nonsense estimates give a sentence, not an overflow.
        QVERIFY(ProgressText::timeLeft(std::numeric_limits<double>::infinity())
                    .endsWith(QStringLiteral(" min left")));
        QCOMPARE(ProgressText::timeLeft(std::numeric_limits<double>::quiet_NaN()),
                 QStringLiteral("less than 5 s left"));
    }
};

QTEST_GUILESS_MAIN(CopyProgressTest)
#include "CopyProgressTest.moc"
