#include "app/Workflow.h"

#include "core/copy/CopyProgress.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessera {

QString title(Step step)
{
    switch (step) {
    case Step::drop:
        return QStringLiteral("Drop");
    case Step::confirm:
        return QStringLiteral("Confirm");
    case Step::copy:
        return QStringLiteral("Copy and submit");
    }
    return {};
}

bool Phase::isBusy() const
{
    switch (kind) {
    case Kind::checkingNAS:
    case Kind::connecting:
    case Kind::planning:
    case Kind::copying:
    case Kind::submitting:
    case Kind::confirming:
        return true;
    case Kind::idle:
    case Kind::waiting:
    case Kind::finished:
    case Kind::failed:
        return false;
    }
    return false;
}

std::optional<FileStamp> FileStamp::of(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified()};
}

FileStamp FileStamp::unknown()
{
    return {-1, QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 2)};
}

QString TransferStatus::line() const
{
    QStringList parts;
    parts << (checking ? QStringLiteral("Checking copy %1 of %2")
                       : QStringLiteral("Copying %1 of %2"))
                 .arg(index)
                 .arg(count);
    parts << ProgressText::bytes(copiedBytes, totalBytes);
    if (hold == Hold::stalled)
        parts << QStringLiteral("The NAS isn't answering. Tessera is waiting for it.");
    else if (hold == Hold::reconnecting)
        parts << QStringLiteral("The connection to the NAS was lost. Tessera carries on by itself "
                                "when it's back.");
    else if (speed)
        parts << *speed;
    if (timeLeft && hold == Hold::none)
        parts << *timeLeft;
    return parts.join(QStringLiteral(" · "));
}

int TransferStatus::percent() const
{
    // The slack keeps 0.29 at 29 although 0.29 × 100 is a hair below it in binary.
    return static_cast<int>(std::trunc(std::clamp(fraction, 0.0, 1.0) * 100.0 + 1e-9));
}

} // namespace tessera
