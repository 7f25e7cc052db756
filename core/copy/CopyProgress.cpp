#include "core/copy/CopyProgress.h"

#include <algorithm>
#include <cmath>

namespace tessera {

namespace {

// The rate before clamping; nothing over fewer than two samples or less than half a second.
std::optional<double> rawRate(const QList<RateMeter::Sample> &samples)
{
    if (samples.isEmpty())
        return std::nullopt;
    const double span = samples.last().t - samples.first().t;
    if (span < 0.5)
        return std::nullopt;
    return static_cast<double>(samples.last().done - samples.first().done) / span;
}

} // namespace

void RateMeter::add(double t, qint64 done)
{
    if (!start)
        start = t;
    samples.append({t, done});
    // Keep one sample at or just beyond the window's edge, and always at least two.
    while (samples.size() >= 3 && samples.at(1).t <= t - window)
        samples.removeFirst();
}

std::optional<double> RateMeter::perSecond() const
{
    const auto rate = rawRate(samples);
    if (!rate)
        return std::nullopt;
    return std::max(*rate, 0.0);
}

std::optional<double> RateMeter::secondsLeft(qint64 remaining, double now) const
{
    if (!start || now - *start < 1.0)
        return std::nullopt;
    const auto rate = rawRate(samples);
    if (!rate || !(*rate > 0))
        return std::nullopt;
    return static_cast<double>(std::max<qint64>(remaining, 0)) / *rate;
}

namespace CopyWork {

qint64 total(const QList<qint64> &sizes)
{
    qint64 sum = 0;
    for (qint64 size : sizes)
        sum += size;
    return 2 * sum;
}

qint64 done(qint64 copied, qint64 verified)
{
    return copied + verified;
}

} // namespace CopyWork

namespace ProgressText {

QString bytes(qint64 done, qint64 total)
{
    if (total < 1'000'000'000)
        return QString::asprintf("%.0f of %.0f MB", done / mb, total / mb);
    return QString::asprintf("%.1f of %.1f GB", done / gb, total / gb);
}

QString speed(double bytesPerSecond)
{
    if (bytesPerSecond >= 1e9)
        return QString::asprintf("%.1f GB/s", bytesPerSecond / gb);
    return QString::asprintf("%.0f MB/s", bytesPerSecond / mb);
}

QString timeLeft(double seconds)
{
    // A broken estimate must not overflow the integer conversions below: a century is plenty.
    constexpr double longest = 100.0 * 365 * 24 * 3600;
    if (std::isnan(seconds) || seconds < 5)
        return QStringLiteral("less than 5 s left");
    seconds = std::min(seconds, longest);
    const auto nearest = [](double x) { return static_cast<qint64>(std::round(x)); };
    if (seconds < 10)
        return QStringLiteral("about %1 s left").arg(nearest(seconds));
    if (seconds < 60)
        return QStringLiteral("about %1 s left")
            .arg(std::min<qint64>(nearest(seconds / 5) * 5, 55));
    const qint64 minutes = nearest(seconds / 60);
    if (minutes <= 59)
        return QStringLiteral("about %1 min left").arg(std::max<qint64>(minutes, 1));
    return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

} // namespace ProgressText
} // namespace tessera
