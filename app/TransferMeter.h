#pragma once

#include "app/Workflow.h"
#include "core/copy/CopyProgress.h"

#include <QElapsedTimer>
#include <QList>

namespace tessera {

// Turns the copy's byte counts into the progress line: the whole copy's fraction, the rate over
// the last seconds and the time left. Copied and read-back bytes both count as work.
class TransferMeter
{
public:
    // The line before the first byte, for files of these sizes.
    TransferStatus begin(const QList<qint64> &sizes);
    // The line while file `index` (1-based) has `copied` bytes sent and `verified` read back.
    TransferStatus update(const TransferStatus &current, int index, qint64 copied, qint64 verified,
                          bool checking);
    // A file of this size is placed: its work counts as done.
    void fileDone(qint64 size);
    // After the connection to the NAS broke and came back, the files of the new plan, of these
    // sizes, follow the ones placed, whose work stays done: the line counts on from there.
    TransferStatus carryOn(const TransferStatus &current, const QList<qint64> &sizes);
    // No byte moves: the rate is measured afresh once they do, not averaged over the wait.
    void pause();

private:
    RateMeter m_meter;
    QElapsedTimer m_start;
    qint64 m_workTotal = 1;
    qint64 m_workBase = 0;
    qint64 m_copiedBase = 0;
    int m_placed = 0;
    int m_indexBase = 0;
};

} // namespace tessera
