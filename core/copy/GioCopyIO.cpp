#include "core/copy/GioCopyIO.h"

#include "core/copy/PosixIO.h"

#include <cerrno>

namespace tessera {

namespace {

// Calls a GioFile operation and turns its failure into an IOFailure.
template<typename F>
auto guarded(F &&f)
{
    try {
        return f();
    } catch (const GioError &error) {
        throw ioFailure(error);
    }
}

class DaemonOutput : public CopyIO::Output
{
public:
    explicit DaemonOutput(GioOutput output)
        : output_(std::move(output))
    {}
    ~DaemonOutput() override
    {
        if (output_) {
            try {
                output_->close();
            } catch (const GioError &) {
            }
        }
    }

    void write(const char *data, qint64 length, GCancellable *cancel) override
    {
        guarded([&] { output_->write(data, length, cancel); });
    }

    void confirm() override
    {
        // The daemon answers a close once the server has closed its handle.
        std::optional<GioOutput> output = std::exchange(output_, std::nullopt);
        guarded([&] { output->close(); });
    }

private:
    std::optional<GioOutput> output_;
};

class DaemonInput : public CopyIO::Input
{
public:
    explicit DaemonInput(GioInput input)
        : input_(std::move(input))
    {}

    qint64 read(char *buffer, qint64 length, GCancellable *cancel) override
    {
        return guarded([&] { return input_.read(buffer, length, cancel); });
    }

private:
    GioInput input_;
};

QString folderOf(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash).path();
}

} // namespace

IOFailure ioFailure(const GioError &error)
{
    using Cause = IOFailure::Cause;
    if (error.daemonGone)
        return {Cause::connection, error.text};
    switch (error.code) {
    case G_IO_ERROR_EXISTS:
        return {Cause::exists, error.text};
    case G_IO_ERROR_NOT_FOUND:
        return {Cause::notFound, error.text};
    case G_IO_ERROR_INVALID_ARGUMENT:
        return {Cause::invalid, error.text};
    // The daemon lost the server (its errno through g_io_error_from_errno), or the mount went
    // away. CLOSED is what a stream says when the daemon's end of it is gone: this copier never
    // uses a stream it closed.
    case G_IO_ERROR_CLOSED:
    case G_IO_ERROR_NOT_MOUNTED:
    case G_IO_ERROR_CONNECTION_CLOSED:
    case G_IO_ERROR_TIMED_OUT:
    case G_IO_ERROR_HOST_UNREACHABLE:
    case G_IO_ERROR_HOST_NOT_FOUND:
    case G_IO_ERROR_NETWORK_UNREACHABLE:
    case G_IO_ERROR_CONNECTION_REFUSED:
    case G_IO_ERROR_NOT_CONNECTED:
        return {Cause::connection, error.text};
    case G_IO_ERROR_FAILED:
        // g_io_error_from_errno has no code for these, so the daemon reports them as FAILED
        // with the system's text, which is all that tells them apart.
        for (const int errnoValue : {ECONNABORTED, EHOSTDOWN, ENETDOWN, ESHUTDOWN, ESTALE}) {
            if (error.text == QString::fromLocal8Bit(g_strerror(errnoValue)))
                return {Cause::connection, error.text};
        }
        break;
    default:
        break;
    }
    return {Cause::other, error.text};
}

std::optional<GioFile> GioCopyIO::fileFor(const QUrl &url)
{
    return GioFile::forPath(PosixIO::nativePath(url));
}

GioCopyIO::GioCopyIO(GioFile anchor, const QUrl &anchorURL)
    : anchor_(std::move(anchor))
    , anchorURL_(anchorURL)
{}

GioFile GioCopyIO::file(const QUrl &url) const
{
    if (url == anchorURL_)
        return anchor_;
    if (folderOf(url) == folderOf(anchorURL_))
        return guarded([&] { return anchor_.sibling(url.fileName()); });
    if (auto file = fileFor(url))
        return *file;
    throw IOFailure{IOFailure::Cause::notFound, QStringLiteral("the share's daemon can't see it")};
}

bool GioCopyIO::exists(const QUrl &url, GCancellable *cancel)
{
    return file(url).exists(cancel);
}

std::unique_ptr<CopyIO::Output> GioCopyIO::create(const QUrl &url, GCancellable *cancel)
{
    return std::make_unique<DaemonOutput>(guarded([&] { return file(url).create(cancel); }));
}

std::unique_ptr<CopyIO::Input> GioCopyIO::read(const QUrl &url, qint64 offset, GCancellable *cancel)
{
    return guarded([&] {
        GioInput input = file(url).read(cancel);
        if (offset > 0)
            input.skipTo(offset, cancel);
        return std::make_unique<DaemonInput>(std::move(input));
    });
}

qint64 GioCopyIO::size(const QUrl &url, GCancellable *cancel)
{
    return guarded([&] { return file(url).size(cancel); });
}

void GioCopyIO::renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *cancel)
{
    guarded([&] { file(from).moveTo(file(to), cancel); });
}

void GioCopyIO::remove(const QUrl &url)
{
    guarded([&] { file(url).remove(); });
}

} // namespace tessera
