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
    // The D-Bus call to the share's daemon failed: the daemon went away or stopped answering.
    bool daemonGone = false;

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

class GioOutput
{
public:
    explicit GioOutput(GFileOutputStream *stream)
        : stream_(stream)
    {}
    // Returns once the daemon has the bytes on the server.
    void write(const char *data, qint64 length, GCancellable *cancellable);
    // Without a cancellable: a close after a cancelled write must still end the server's handle.
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
    // Moves to `offset`, by seeking where the stream can and by reading past the bytes before it
    // where it cannot.
    void skipTo(qint64 offset, GCancellable *cancellable);

private:
    GRef<GFileInputStream> stream_;
};

class GioFile
{
public:
    // The file at a path under a GVfs FUSE mount, as the mount's daemon sees it; nothing when GIO
    // does not map the path to a daemon (it would then go through the FUSE mount).
    static std::optional<GioFile> forPath(const QByteArray &path);

    GioFile(const GioFile &other)
        : file_(G_FILE(g_object_ref(other.file_.get())))
    {}
    GioFile(GioFile &&) = default;
    GioFile &operator=(GioFile &&) = default;

    // The file of that name in the same folder.
    GioFile sibling(const QString &name) const;

    bool exists(GCancellable *cancellable = nullptr) const;
    // Creates the file exclusively: G_IO_ERROR_EXISTS when the name is taken.
    GioOutput create(GCancellable *cancellable = nullptr) const;
    GioInput read(GCancellable *cancellable = nullptr) const;
    qint64 size(GCancellable *cancellable = nullptr) const;
    // Renames on the share without replacing: G_IO_ERROR_EXISTS when `to` is taken.
    void moveTo(const GioFile &to, GCancellable *cancellable = nullptr) const;
    void remove(GCancellable *cancellable = nullptr) const;

private:
    explicit GioFile(GFile *file)
        : file_(file)
    {}

    GRef<GFile> file_;
};

} // namespace tessera
