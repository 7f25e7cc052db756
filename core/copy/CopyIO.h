#pragma once

#include <QString>
#include <QUrl>
#include <gio/gio.h>

#include <memory>

// The day folder's side of a copy, as the safe copier's one algorithm sees it: create a file
// exclusively, append to it, confirm it, read it back, size, rename without replacing, remove.
// Implemented with plain POSIX calls (a local disk, a kernel share, the GVfs FUSE mount) and with
// GIO (a GVfs share through its daemon); tests use a fake. Every call may block; a failure throws
// IOFailure. Calls given a cancellable return soon after it is cancelled where the backend can
// (GIO); the copier never waits on a call after a stop, so a POSIX call that cannot be interrupted
// only delays its own helper thread.
namespace tessera {

// What a failed call reported.
struct IOFailure
{
    enum class Cause {
        other,
        // the name is taken (an exclusive create or a rename)
        exists,
        notFound,
        // an argument the call refused; a stream that moved bytes before gets it when its handle
        // died with the connection
        invalid,
        // the connection to the share broke, or the daemon that holds it went away
        connection,
        // a folder, a pipe or a device where a file was to be read; `text` says which
        notAFile,
    };

    Cause cause = Cause::other;
    QString text; // the system's text, or for notAFile the whole sentence

    bool is(Cause c) const { return cause == c; }
};

class CopyIO
{
public:
    // A file being written.
    class Output
    {
    public:
        virtual ~Output() = default;
        // Appends; returns once the bytes are taken (by the server, on a share).
        virtual void write(const char *data, qint64 length, GCancellable *cancel) = 0;
        // Forces the bytes to the disk or the server and closes the file.
        virtual void confirm() = 0;
    };

    // A file being read from the disk or the server, past any local cache.
    class Input
    {
    public:
        virtual ~Input() = default;
        // Reads until `length` bytes or the end; a short count means the end.
        virtual qint64 read(char *buffer, qint64 length, GCancellable *cancel) = 0;
    };

    virtual ~CopyIO() = default;

    // Whether a file can be read back through a second stream while it is being written.
    virtual bool readsWhileWriting() const = 0;
    // Whether a call can hang (on a share whose connection broke). Calls that cannot run on the
    // copying thread, one after the other, as a local disk wants them: the kernel's read-ahead
    // and write-back already work beside the hashing, and a second thread would only compete with
    // it for the memory bus.
    virtual bool callsMayHang() const { return true; }

    virtual bool exists(const QUrl &url, GCancellable *cancel) = 0;
    // Creates the file exclusively: Cause::exists when the name is taken.
    virtual std::unique_ptr<Output> create(const QUrl &url, GCancellable *cancel) = 0;
    // Opens the file to read it from `offset` on.
    virtual std::unique_ptr<Input> read(const QUrl &url, qint64 offset, GCancellable *cancel) = 0;
    virtual qint64 size(const QUrl &url, GCancellable *cancel) = 0;
    // Cause::exists when `to` is taken; never replaces it.
    virtual void renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *cancel) = 0;
    virtual void remove(const QUrl &url) = 0;
};

} // namespace tessera
