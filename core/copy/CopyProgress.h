#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tessera {

// A smoothed rate and time-left estimate from (time, work done) samples.
struct RateMeter
{
    struct Sample
    {
        double t = 0;    // seconds on a monotonic clock
        qint64 done = 0; // work units

        friend bool operator==(const Sample &, const Sample &) = default;
    };

    double window = 3;
    QList<Sample> samples; // oldest first
    std::optional<double> start;

    explicit RateMeter(double window = 3)
        : window(window)
    {}

    void add(double t, qint64 done);
    // Work units per second over the samples kept; nothing over less than half a second.
    std::optional<double> perSecond() const;
    // Nothing during the first second, or while the rate is not positive.
    std::optional<double> secondsLeft(qint64 remaining, double now) const;

    friend bool operator==(const RateMeter &, const RateMeter &) = default;
};

// Every byte is written once and read back once.
namespace CopyWork {

qint64 total(const QList<qint64> &sizes);
qint64 done(qint64 copied, qint64 verified);

} // namespace CopyWork

// Sizes, speeds and times as the copy step words them, in decimal units.
namespace ProgressText {

inline constexpr double mb = 1'000'000;
inline constexpr double gb = 1'000'000'000;

QString bytes(qint64 done, qint64 total);
QString speed(double bytesPerSecond);
QString timeLeft(double seconds);

} // namespace ProgressText
} // namespace tessera
