#pragma once

#include "core/copy/CopyIO.h"
#include "core/copy/GioFile.h"

// The day folder on a GVfs share through the share's daemon (see GioFile): writes and reads run at
// the link's speed, a file being written can be read back through a second stream, and every call
// but a close or a removal takes the copy's cancellable.
namespace tessera {

IOFailure ioFailure(const GioError &error);

class GioCopyIO : public CopyIO
{
public:
    // The share's file at a URL's path, when the path lies on a GVfs mount that GIO maps to its
    // daemon.
    static std::optional<GioFile> fileFor(const QUrl &url);

    // `anchor` is the share's file at `anchorURL`; files in its folder are reached from it
    // without asking GIO to map their paths again.
    GioCopyIO(GioFile anchor, const QUrl &anchorURL);

    bool readsWhileWriting() const override { return true; }
    bool exists(const QUrl &url, GCancellable *cancel) override;
    std::unique_ptr<Output> create(const QUrl &url, GCancellable *cancel) override;
    std::unique_ptr<Input> read(const QUrl &url, qint64 offset, GCancellable *cancel) override;
    qint64 size(const QUrl &url, GCancellable *cancel) override;
    void renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *cancel) override;
    void remove(const QUrl &url) override;

private:
    GioFile file(const QUrl &url) const;

    GioFile anchor_;
    QUrl anchorURL_;
};

} // namespace tessera
