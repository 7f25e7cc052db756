#pragma once

#include "core/copy/CopyStop.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace tessera {

class CopyIO;

// Why a file could not be placed in the day folder. Every case carries the destination's name.
struct CopyError
{
    enum class Kind { io, sizeMismatch, hashMismatch, appeared, cancelled, connectionLost };

    Kind kind = Kind::io;
    QString name;
    // io and connectionLost: a short sentence naming the step that failed (writing to the NAS,
    // reading back from the NAS, reading the original on this computer) and the system's text
    QString detail;

    static CopyError io(const QString &name, const QString &detail)
    {
        return {Kind::io, name, detail};
    }
    static CopyError sizeMismatch(const QString &name) { return {Kind::sizeMismatch, name, {}}; }
    static CopyError hashMismatch(const QString &name) { return {Kind::hashMismatch, name, {}}; }
    static CopyError appeared(const QString &name) { return {Kind::appeared, name, {}}; }
    static CopyError cancelled() { return {Kind::cancelled, {}, {}}; }
    // The connection to the share broke while copying `name` (connection aborted or reset, timed
    // out, host or network unreachable, the GVfs mount gone or closed). The run waits for the
    // share and carries on after it.
    static CopyError connectionLost(const QString &name, const QString &detail)
    {
        return {Kind::connectionLost, name, detail};
    }

    QString description() const;

    friend bool operator==(const CopyError &, const CopyError &) = default;
};

// Places one file in the day folder through a partial file, a forced write, a size check and a
// read-back digest, and gives it its final name with a rename that never replaces anything.
// The operations block on I/O and throw CopyError (renameNoReplace throws RenameError). On a GVfs
// share they talk to the share's daemon through GIO rather than through the FUSE mount; elsewhere
// they use plain POSIX calls.
namespace SafeCopier {

inline constexpr qint64 chunk = 8'388'608;
inline constexpr QStringView partialSuffix = u".partial";

struct RenameError
{
    enum class Kind { failed, exists };

    Kind kind = Kind::failed;
    QString text; // failed: the system's error text

    static RenameError failed(const QString &text) { return {Kind::failed, text}; }
    static RenameError exists() { return {Kind::exists, {}}; }

    QString description() const;

    friend bool operator==(const RenameError &, const RenameError &) = default;
};

// Called with the bytes handled so far; returning false cancels.
using Progress = std::function<bool(qint64)>;
// Called with the bytes sent and the bytes read back so far; returning false cancels.
using Transfer = std::function<bool(qint64 sent, qint64 checked)>;

// A file sent to the day folder under its partial name: written, confirmed by the server, of the
// size of the original, which did not change meanwhile; not yet read back nor named. place()
// finishes it, discard() removes it.
struct Sent
{
    QUrl to;        // the destination it is meant for
    QUrl partial;   // where it lies meanwhile
    QString digest; // of the bytes sent
    qint64 size = 0;

    friend bool operator==(const Sent &, const Sent &) = default;
};

// Copies and verifies: send(), then place(); returns the digest of the bytes sent. `progress`
// sees the bytes copied, `checking` the bytes read back.
QString copy(const QUrl &from, const QUrl &to, const Progress &progress = {},
             const Progress &checking = {});

// The two halves of copy(), so that one file can be read back while the next one is sent: send()
// and place() may run at the same time on two threads for two different files, each calling its
// own callback on its own thread.
//
// send() refuses a destination that exists, writes the partial file and confirms it (flushed,
// the original unchanged meanwhile, the size on the server); `progress` sees the bytes sent. A
// failure or a stop removes the partial file.
Sent send(const QUrl &from, const QUrl &to, const Progress &progress = {});
// Reads the partial file back from the server, compares its digest with what was sent and gives
// it its final name without replacing anything; returns the digest. `checking` sees the bytes
// read back. A failure or a stop removes the partial file.
QString place(const Sent &sent, const Progress &checking = {});
// Removes the partial file of a sent file that will not be placed. Never throws: a partial file
// that cannot be removed stays under its partial name, as after a crash.
void discard(const Sent &sent) noexcept;

// Called on the copying thread once the partial file exists, before any byte is written, with its
// URL.
using PartialMade = std::function<void(const QUrl &partial)>;

// What a caller gives a copy besides its files.
struct Control
{
    // (sent, checked) after every chunk; returning false stops.
    Transfer transfer;
    // Pressed from any thread: the copy ends with CopyError::cancelled soon after, removes its
    // partial file if it can, and never gives a file its final name once stopped.
    CopyStop stop;
    // May be empty.
    PartialMade partialMade;
};

// copy() with the read-back beside the writing where the share allows it (a GVfs share that GIO
// reaches): each chunk is read back from the server once its write has returned, while the next
// ones are written, and the digest of everything read back decides. Elsewhere send(), then
// place(). `transfer` is called on the calling thread after every chunk written or read back.
// The pair it sees never decreases: when the daemon ends the stream beside the writing early, the
// read-back carries on from where that stream stopped once the writing is done.
QString copyOverlapped(const QUrl &from, const QUrl &to, const Transfer &transfer = {});
QString copyOverlapped(const QUrl &from, const QUrl &to, const Control &control);
// Places the bytes with the same verification; returns their digest.
QString write(const QByteArray &data, const QUrl &to);
QString write(const QByteArray &data, const QUrl &to, const Control &control);

// Removes a partial file that a run made earlier (after a failure that could not remove it, or
// before a restart). Refuses any name that is not "<final name>.<12 lower-case hex digits>.partial"
// as partialURL() makes it. Returns true when no such file is there any more. May block on a dead
// share: call it off the main thread, with a stop of its own if needed.
bool removePartial(const QUrl &partial, const CopyStop &stop = {}) noexcept;
void renameNoReplace(const QUrl &from, const QUrl &to);

// Digest of a file, read past the local cache. `name` is used in error sentences (the URL's last
// component when absent).
QString sha256(const QUrl &url, const std::optional<QString> &name = std::nullopt,
               const Progress &progress = {});
QString sha256(const QByteArray &data);
qint64 size(const QUrl &url, const std::optional<QString> &name = std::nullopt);

// destination name + "." + token + ".partial", in the destination's folder.
QUrl partialURL(const QUrl &destination, const QString &token);
// 12 lower-case hexadecimal digits of a 48-bit random number.
QString newToken();

// Seams for fault tests: deterministic partial names, shares without an exclusive rename, and a
// local folder treated as a network share.
namespace Testing {

enum class RenameSupport { exclusive, linkOnly, plainOnly };

// An empty function restores random tokens.
void setTokenSource(std::function<QString()> source);
void setRenameSupport(RenameSupport support);
void setEverythingIsAShare(bool share);
// Every operation goes to `io` instead of the file system; empty restores the file system.
void setIO(std::shared_ptr<CopyIO> io);

} // namespace Testing
} // namespace SafeCopier
} // namespace tessera
