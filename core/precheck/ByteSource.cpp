#include "core/precheck/ByteSource.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera {

namespace {

QString errorPhrase(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

} // namespace

std::optional<QByteArray> ByteSource::read(qint64 offset, qint64 maxLength)
{
    if (offset < 0 || maxLength < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes = readAt(offset, maxLength);
    if (bytes)
        m_bytesRead += bytes->size();
    return bytes;
}

FileSource::FileSource(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    // O_NONBLOCK so that a named pipe cannot hold the open; only regular files are read.
    int fd;
    do {
        fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_openError = errorPhrase(errno);
        return;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        m_openError = errorPhrase(errno);
        ::close(fd);
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        m_openError = S_ISDIR(status.st_mode) ? QStringLiteral("it is a folder, not a file")
                                              : QStringLiteral("it isn't a regular file");
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FileSource::~FileSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<qint64> FileSource::size()
{
    if (m_fd < 0)
        return std::nullopt;
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0)
        return std::nullopt;
    return qint64(end);
}

std::optional<QByteArray> FileSource::readAt(qint64 offset, qint64 maxLength)
{
    // Enough for a movie box's headers and small tables in one read.
    constexpr qint64 windowSize = 4096;
    if (m_fd < 0)
        return std::nullopt;
    if (maxLength > windowSize)
        return readFile(offset, maxLength);
    const qint64 windowEnd = m_windowStart + m_window.size();
    const bool inside = offset >= m_windowStart && offset <= windowEnd &&
                        (offset + maxLength <= windowEnd || m_windowReachesEnd);
    if (!inside || m_window.isNull()) {
        std::optional<QByteArray> window = readFile(offset, windowSize);
        if (!window)
            return std::nullopt;
        m_window = std::move(*window);
        m_windowStart = offset;
        m_windowReachesEnd = m_window.size() < windowSize;
    }
    return m_window.mid(offset - m_windowStart, maxLength);
}

std::optional<QByteArray> FileSource::readFile(qint64 offset, qint64 maxLength)
{
    QByteArray bytes(maxLength, Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < maxLength) {
        const ssize_t got = ::pread(m_fd, bytes.data() + filled, size_t(maxLength - filled),
                                    off_t(offset + filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

std::optional<QByteArray> MemorySource::readAt(qint64 offset, qint64 maxLength)
{
    if (offset >= m_data.size())
        return QByteArray();
    return m_data.sliced(offset, std::min(maxLength, m_data.size() - offset)).toByteArray();
}

} // namespace tessera
