#pragma once

#include "core/copy/CopyIO.h"

#include <QByteArray>

// The day folder through plain POSIX calls on the mounted path, in the way that suits the file
// system under it.
namespace tessera {

// The failure of a call that set `error`.
IOFailure ioFailure(int error);

class PosixCopyIO : public CopyIO
{
public:
    enum class Strategy {
        // A local disk: the page cache is ours to drop, and the kernel's read-ahead keeps the disk
        // busy while we hash.
        local,
        // A kernel SMB mount: every write waits for the server, and it caches written pages as a
        // disk does, so they are dropped chunk by chunk; the read-back asks the server directly
        // (O_DIRECT).
        kernelShare,
        // The GVfs FUSE mount: as a kernel share, but it keeps no written pages (fincore shows
        // none after a plain 8 MiB write), so the per-chunk write-back calls would only cost time.
        // Used only where GIO cannot reach the share's daemon itself.
        gvfsShare,
    };

    // Chosen by the mount table's type of the folder that holds the path.
    static Strategy strategyFor(const QByteArray &path);

    explicit PosixCopyIO(Strategy strategy)
        : strategy_(strategy)
    {}

    bool readsWhileWriting() const override { return false; }
    bool callsMayHang() const override { return strategy_ != Strategy::local; }
    bool exists(const QUrl &url, GCancellable *) override;
    std::unique_ptr<Output> create(const QUrl &url, GCancellable *) override;
    std::unique_ptr<Input> read(const QUrl &url, qint64 offset, GCancellable *) override;
    qint64 size(const QUrl &url, GCancellable *) override;
    void renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *) override;
    void remove(const QUrl &url) override;

private:
    Strategy strategy_;
};

} // namespace tessera
