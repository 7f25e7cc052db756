#include "core/naming/VersionStamp.h"

#include "core/naming/Naming.h"

namespace tessera::VersionStamp {

QTimeZone london()
{
    static const QTimeZone zone("Europe/London");
    return zone;
}

QString stamp(const QDateTime &date)
{
    // Formatted by hand: QDateTime::toString follows the locale's digits and calendar.
    const QDateTime local = date.toTimeZone(london());
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%02d%02d%02d%02d%02d", ((d.year() % 100) + 100) % 100, d.month(),
                             d.day(), t.hour(), t.minute());
}

std::optional<QDateTime> date(const QString &stamp)
{
    if (!Naming::isValidStamp(stamp))
        return std::nullopt;
    const auto field = [&](int position) { return QStringView(stamp).mid(position, 2).toInt(); };
    const QDate day(2000 + field(0), field(2), field(4));
    const QTime time(field(6), field(8));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime result(day, time, london());
    if (result.isValid())
        return result;
    // A minute skipped when the clocks go forward: read it on the clock from before the change,
    // as a lenient formatter does, so it still names an instant that later stamps can follow.
    const QDateTime asUtc(day, time, QTimeZone::utc());
    const QDateTime shifted = asUtc.addSecs(-london().standardTimeOffset(asUtc));
    if (!shifted.isValid())
        return std::nullopt;
    return shifted.toTimeZone(london());
}

QString next(const QDateTime &now, const std::optional<QString> &last)
{
    const QString candidate = stamp(now);
    if (!last || !Naming::isValidStamp(*last) || *last < candidate)
        return candidate;
    const std::optional<QDateTime> lastDate = date(*last);
    if (!lastDate)
        return candidate;
    // When the clocks go back, an hour of stamps repeats: one minute past 01:59 BST is 01:00 GMT.
    // Step on until the stamp really is later than the last one.
    QDateTime instant = lastDate->addSecs(60);
    QString result = stamp(instant);
    for (int minutes = 0; result <= *last && minutes < 24 * 60; ++minutes) {
        instant = instant.addSecs(60);
        result = stamp(instant);
    }
    return result;
}

} // namespace tessera::VersionStamp
