#pragma once

#include <QByteArray>
#include <QString>
#include <gio/gio.h>

#include <memory>
#include <optional>

// Files on a GVfs share reached through GIO, which talks to the share's daemon directly instead of
// going through the FUSE mount: writes and reads run at the link's speed, and a file being written
// can be read back through a second stream at the same time. Failures throw GioError.
namespace tessera {

// What a GIO call reported when it failed.
struct GioError
{
    int code = G_IO_ERROR_FAILED; // a GIOErrorEnum value; FAILED for errors of other domains
    QString text;

    bool is(GIOErrorEnum error) const { return code == error; }
};

template<typename T>
struct GObjectUnref
{
    void operator()(T *object) const { g_object_unref(object); }
};
// A GLib object reference, dropped on every path.
template<typename T>
using GRef = std::unique_ptr<T, GObjectUnref<T>>;

// Stops the blocking GIO calls given it, from any thread.
class GioCancel
{
public:
    GioCancel()
        : cancellable_(g_cancellable_new())
    {}
    GCancellable *get() const { return cancellable_.get(); }
    void cancel() const { g_cancellable_cancel(cancellable_.get()); }

private:
    GRef<GCancellable> cancellable_;
};

class GioOutput
{
public:
    explicit GioOutput(GFileOutputStream *stream)
        : stream_(stream)
    {}
    // Returns once the daemon has the bytes on the server.
    void write(const char *data, qint64 length, GCancellable *cancellable);
    void close();

private:
    GRef<GFileOutputStream> stream_;
};

class GioInput
{
public:
    explicit GioInput(GFileInputStream *stream)
        : stream_(stream)
    {}
    // Reads until `length` bytes or the end of the file; a short count means the end.
    qint64 read(char *buffer, qint64 length, GCancellable *cancellable);

private:
    GRef<GFileInputStream> stream_;
};

class GioFile
{
public:
    // The file at a path under a GVfs FUSE mount, as the mount's daemon sees it; nothing when GIO
    // does not map the path to a daemon (it would then go through the FUSE mount).
    static std::optional<GioFile> forPath(const QByteArray &path);

    // The file of that name in the same folder.
    GioFile sibling(const QString &name) const;

    bool exists() const;
    // Creates the file exclusively: G_IO_ERROR_EXISTS when the name is taken.
    GioOutput create() const;
    GioInput read() const;
    qint64 size() const;
    // Renames on the share without replacing: G_IO_ERROR_EXISTS when `to` is taken.
    void moveTo(const GioFile &to) const;
    void remove() const;

private:
    explicit GioFile(GFile *file)
        : file_(file)
    {}

    GRef<GFile> file_;
};

} // namespace tessera
