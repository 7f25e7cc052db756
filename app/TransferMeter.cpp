#include "app/TransferMeter.h"

#include <algorithm>

namespace tessera {

TransferStatus TransferMeter::begin(const QList<qint64> &sizes)
{
    TransferStatus start;
    start.count = int(sizes.size());
    for (qint64 size : sizes)
        start.totalBytes += size;
    m_workTotal = std::max<qint64>(CopyWork::total(sizes), 1);
    m_workBase = 0;
    m_copiedBase = 0;
    m_placed = 0;
    m_indexBase = 0;
    m_meter = RateMeter(3);
    m_start.start();
    return start;
}

TransferStatus TransferMeter::update(const TransferStatus &current, int index, qint64 copied,
                                     qint64 verified, bool checking)
{
    const qint64 done = m_workBase + copied + verified;
    const double t = m_start.nsecsElapsed() / 1e9;
    m_meter.add(t, done);
    TransferStatus next = current;
    next.index = m_indexBase + index;
    next.checking = checking;
    next.copiedBytes = m_copiedBase + copied;
    next.fraction = std::min(double(done) / double(m_workTotal), 1.0);
    const std::optional<double> rate = m_meter.perSecond();
    next.speed = rate ? std::optional(ProgressText::speed(*rate)) : std::nullopt;
    next.timeLeft.reset();
    if (rate && *rate > 0 && m_meter.start && *m_meter.start <= t - 1.0)
        next.timeLeft =
            ProgressText::timeLeft(double(std::max<qint64>(m_workTotal - done, 0)) / *rate);
    return next;
}

void TransferMeter::fileDone(qint64 size)
{
    m_workBase += CopyWork::total({size});
    m_copiedBase += size;
    ++m_placed;
}

TransferStatus TransferMeter::carryOn(const TransferStatus &current, const QList<qint64> &sizes)
{
    TransferStatus next = current;
    next.hold = TransferStatus::Hold::none;
    next.speed.reset();
    next.timeLeft.reset();
    next.checking = false;
    next.count = m_placed + int(sizes.size());
    next.index = m_placed;
    next.copiedBytes = m_copiedBase;
    next.totalBytes = m_copiedBase;
    for (qint64 size : sizes)
        next.totalBytes += size;
    m_workTotal = std::max<qint64>(m_workBase + CopyWork::total(sizes), 1);
    m_indexBase = m_placed;
    next.fraction = std::min(double(m_workBase) / double(m_workTotal), 1.0);
    pause();
    return next;
}

void TransferMeter::pause()
{
    m_meter = RateMeter(3);
}

} // namespace tessera
