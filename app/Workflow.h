#pragma once

#include "core/naming/Slot.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace tessera {

// The small types of the application model. The enumerations are visible to QML as "Workflow".
namespace Workflow {
Q_NAMESPACE

// The steps of the window; the raw value is the number the step tabs show.
enum class Step { drop = 1, confirm = 2, copy = 3 };
Q_ENUM_NS(Step)

enum class PhaseKind {
    idle,
    checkingNAS,
    connecting,
    planning,
    copying,
    submitting,
    confirming,
    waiting,
    finished,
    failed
};
Q_ENUM_NS(PhaseKind)

enum class UsersState { loading, loaded, unavailable };
Q_ENUM_NS(UsersState)

enum class HelpKind { editing, sending, sent, fellBack, failed };
Q_ENUM_NS(HelpKind)

// stalled: being copied or read back while the NAS isn't answering.
enum class FileState { copying, verifying, waiting, done, renamed, alreadyThere, failed, stalled };
Q_ENUM_NS(FileState)

} // namespace Workflow

using Workflow::FileState;
using Workflow::Step;
using Workflow::UsersState;

// "Drop", "Confirm", "Copy and submit".
QString title(Step step);

// Where the copy-and-submit run stands; `failed` carries the sentence to show.
struct Phase
{
    using Kind = Workflow::PhaseKind;

    Kind kind = Kind::idle;
    QString message; // failed only

    static Phase failed(const QString &message) { return {Kind::failed, message}; }

    // The run is under way: files may be on their way to the NAS or the submission in flight.
    bool isBusy() const;

    friend bool operator==(const Phase &, const Phase &) = default;
};

struct HelpState
{
    using Kind = Workflow::HelpKind;

    Kind kind = Kind::editing;
    QString message; // failed only

    friend bool operator==(const HelpState &, const HelpState &) = default;
};

// One dropped movie; `id` identifies it in lists.
struct DroppedFile
{
    QString id;
    QUrl url;
    std::optional<Slot> slot;

    friend bool operator==(const DroppedFile &, const DroppedFile &) = default;
};

// Size and modification time, to tell whether a file changed since it was read.
struct FileStamp
{
    qint64 size = -1;
    QDateTime date;

    // Nothing when the file's attributes cannot be read at all.
    static std::optional<FileStamp> of(const QUrl &url);
    // What a file whose attributes cannot be read is taken as.
    static FileStamp unknown();

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// One file of the copy step.
struct FileRow
{
    QString original;
    QString finalName; // identifies the row
    std::optional<Slot> slot;
    FileState state = FileState::waiting;
    double fraction = 0; // copying and verifying
    std::optional<QString> detail;

    friend bool operator==(const FileRow &, const FileRow &) = default;
};

// The progress line of the copy step.
struct TransferStatus
{
    Q_GADGET
    Q_PROPERTY(QString line READ line CONSTANT)
    Q_PROPERTY(double fraction MEMBER fraction CONSTANT)
    Q_PROPERTY(int percent READ percent CONSTANT)
    Q_PROPERTY(int index MEMBER index CONSTANT)
    Q_PROPERTY(int count MEMBER count CONSTANT)
    Q_PROPERTY(bool checking MEMBER checking CONSTANT)
    Q_PROPERTY(bool held READ held CONSTANT)

public:
    // Why no byte moves: the NAS isn't answering, or the connection to it broke and the run
    // waits for it. Either way the line says so instead of a speed and a time left.
    enum class Hold { none, stalled, reconnecting };

    int index = 0; // 1-based
    int count = 0;
    bool checking = false;
    qint64 copiedBytes = 0;
    qint64 totalBytes = 0;
    double fraction = 0;
    std::optional<QString> speed;
    std::optional<QString> timeLeft;
    Hold hold = Hold::none;

    // "Copying 2 of 5 · 1.2 of 4.8 GB · 410 MB/s · about 9 s left".
    QString line() const;
    bool held() const { return hold != Hold::none; }
    // The fraction as a whole percentage, truncated: 0.999 is 99.
    int percent() const;

    friend bool operator==(const TransferStatus &, const TransferStatus &) = default;
};

} // namespace tessera

Q_DECLARE_METATYPE(tessera::TransferStatus)
