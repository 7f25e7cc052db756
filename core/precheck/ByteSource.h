#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace tessera {

// Positioned reads for the movie readers. Files are read through FileSource; tests and fuzzers
// hand in bytes through MemorySource; every source counts what it has read, for the benchmark.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // The length of the data; nothing when it cannot be found.
    virtual std::optional<qint64> size() = 0;
    // Up to maxLength bytes from offset (fewer at the end of the data); nothing when the read
    // fails or the offset is negative.
    std::optional<QByteArray> read(qint64 offset, qint64 maxLength);

    qint64 bytesRead() const { return m_bytesRead; }

protected:
    virtual std::optional<QByteArray> readAt(qint64 offset, qint64 maxLength) = 0;

private:
    qint64 m_bytesRead = 0;
};

// A regular file, opened for reading when constructed and closed when destroyed. Small reads are
// served from a window of the file read at once: the readers ask for a few bytes at a time, mostly
// close together (one box header after the other), and each system call costs more than the copy.
class FileSource final : public ByteSource
{
public:
    explicit FileSource(const QString &path);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Why the file could not be opened, as a plain lower-case phrase ("no such file or directory").
    QString openError() const { return m_openError; }

    std::optional<qint64> size() override;

protected:
    std::optional<QByteArray> readAt(qint64 offset, qint64 maxLength) override;

private:
    std::optional<QByteArray> readFile(qint64 offset, qint64 maxLength);

    int m_fd = -1;
    QString m_openError;
    QByteArray m_window;
    qint64 m_windowStart = 0;
    bool m_windowReachesEnd = false; // the file ended inside the window
};

// Bytes held in memory; the view must outlive the source.
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(QByteArrayView data)
        : m_data(data)
    {}

    std::optional<qint64> size() override { return m_data.size(); }

protected:
    std::optional<QByteArray> readAt(qint64 offset, qint64 maxLength) override;

private:
    QByteArrayView m_data;
};

} // namespace tessera
