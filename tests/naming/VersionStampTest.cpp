#include "core/naming/VersionStamp.h"

#include <QTest>

using namespace tessera;

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone::utc());
}

} // namespace

class VersionStampTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The machine's own zone must not matter.
        qputenv("TZ", "America/Los_Angeles");
        QVERIFY(VersionStamp::london().isValid());
    }

    void stampsShowBritishLocalTimeAndReadBack()
    {
        QCOMPARE(VersionStamp::stamp(utc(2024, 7, 1, 0, 30)), QStringLiteral("2407010130"));
        QCOMPARE(VersionStamp::stamp(utc(2024, 12, 5, 0, 30)), QStringLiteral("2412050030"));
        // The same instant given in another zone.
        const QDateTime tokyo(QDate(2024, 12, 5), QTime(9, 30), QTimeZone("Asia/Tokyo"));
        QCOMPARE(VersionStamp::stamp(tokyo), QStringLiteral("2412050030"));
        // Seconds do not round up.
        QCOMPARE(VersionStamp::stamp(utc(2024, 12, 5, 14, 30).addSecs(59)),
                 QStringLiteral("2412051430"));

        QCOMPARE(VersionStamp::date(QStringLiteral("2407010130")), utc(2024, 7, 1, 0, 30));
        QCOMPARE(VersionStamp::date(QStringLiteral("2412050030")), utc(2024, 12, 5, 0, 30));
        for (const char *bad : {"2413010000", "2412320000", "2412052400", "2412051260",
                                "2402300000", "241205003", "24120500300", "24120500a0"})
            QVERIFY2(!VersionStamp::date(QString::fromLatin1(bad)), bad);
        QVERIFY(VersionStamp::date(QStringLiteral("2402290000"))); // 2024 is a leap year
    }

    void nextStampsOnlyEverIncrease()
    {
        const QDateTime now = utc(2024, 12, 5, 14, 30);
        QCOMPARE(VersionStamp::next(now, std::nullopt), QStringLiteral("2412051430"));
        // Last stamp, next stamp. One an hour ahead: the clock went back. One that is not ten
        // digits, or names no real minute, is ignored.
        for (const auto &[last, next] :
             QList<std::pair<const char *, const char *>>{{"2412051429", "2412051430"},
                                                          {"2412051430", "2412051431"},
                                                          {"2412051530", "2412051531"},
                                                          {"241205143", "2412051430"},
                                                          {"9913010000", "2412051430"}})
            QCOMPARE(VersionStamp::next(now, QString::fromLatin1(last)), QString::fromLatin1(next));
        // Across midnight and the year end.
        QCOMPARE(VersionStamp::next(utc(2024, 12, 31, 23, 59), QStringLiteral("2412312359")),
                 QStringLiteral("2501010000"));
    }

    void nextStampsIncreaseAcrossBothClockChanges()
    {
        // 30 March 2025: at 01:00 GMT the clocks jump from 01:00 to 02:00.
        const QDateTime beforeJump = utc(2025, 3, 30, 0, 59);
        QCOMPARE(VersionStamp::next(beforeJump, QStringLiteral("2503300059")),
                 QStringLiteral("2503300200"));
        QCOMPARE(VersionStamp::next(beforeJump.addSecs(60), std::nullopt),
                 QStringLiteral("2503300200"));
        // A last stamp inside the hour that never happened still gives a later stamp.
        const QString skipped = QStringLiteral("2503300130");
        QCOMPARE(VersionStamp::next(beforeJump, skipped), QStringLiteral("2503300231"));

        // 27 October 2024: at 01:00 GMT the clocks go back from 02:00 BST to 01:00 GMT, so the
        // stamps 2410270100 to 2410270159 happen twice.
        QString last = VersionStamp::next(utc(2024, 10, 26, 23, 58), std::nullopt);
        QCOMPARE(last, QStringLiteral("2410270058"));
        QDateTime now = utc(2024, 10, 26, 23, 58);
        // A submission every minute for three hours: every stamp is later than the one before.
        for (int minute = 0; minute < 180; ++minute) {
            now = now.addSecs(60);
            const QString stamp = VersionStamp::next(now, last);
            QVERIFY2(stamp > last, qPrintable(stamp + QStringLiteral(" after ") + last));
            last = stamp;
        }
        // Submissions every minute keep the stamps an hour ahead of the clock; a pause lets the
        // clock catch up.
        QCOMPARE(last, QStringLiteral("2410270358"));
        QCOMPARE(VersionStamp::next(utc(2024, 10, 27, 4, 30), last), QStringLiteral("2410270430"));
        QCOMPARE(VersionStamp::next(utc(2024, 10, 27, 1, 30), QStringLiteral("2410270159")),
                 QStringLiteral("2410270200"));
    }
};

QTEST_GUILESS_MAIN(VersionStampTest)
#include "VersionStampTest.moc"
