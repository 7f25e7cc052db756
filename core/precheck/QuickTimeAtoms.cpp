#include "core/precheck/QuickTimeAtoms.h"

#include <QtEndian>

namespace tessera::QuickTimeAtoms {

namespace {

// A chain of more top-level atoms than this is not a movie we accept as complete.
constexpr int maxTopLevelAtoms = 64;

quint32 be32(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

quint64 be64(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint64>(bytes.constData() + at);
}

// The duration from the first child of the moov atom [start, end) that is an mvhd.
std::optional<double> movieHeaderDuration(ByteSource &source, qint64 start, qint64 end)
{
    qint64 position = start + 8;
    while (position + 8 <= end) {
        const std::optional<QByteArray> header = source.read(position, 8);
        if (!header || header->size() < 8)
            return std::nullopt;
        const quint32 size = be32(*header, 0);
        if (size < 8)
            return std::nullopt;
        if (header->sliced(4, 4) == "mvhd") {
            const std::optional<QByteArray> body = source.read(position + 8, 32);
            if (!body || body->size() < 20)
                return std::nullopt;
            quint32 timeScale;
            quint64 duration;
            if (quint8(body->at(0)) == 1) {
                if (body->size() < 32)
                    return std::nullopt;
                timeScale = be32(*body, 20);
                duration = be64(*body, 24);
            } else {
                timeScale = be32(*body, 12);
                duration = be32(*body, 16);
            }
            if (timeScale == 0)
                return std::nullopt;
            return double(duration) / double(timeScale);
        }
        position += size;
    }
    return std::nullopt;
}

} // namespace

std::optional<double> movieDuration(const QString &path)
{
    FileSource source(path);
    if (!source.isOpen())
        return std::nullopt;
    return movieDuration(source);
}

std::optional<double> movieDuration(ByteSource &source)
{
    const std::optional<qint64> fileSize = source.size();
    if (!fileSize)
        return std::nullopt;
    qint64 offset = 0;
    std::optional<double> found;
    // One pass more than there may be atoms: the last pass only confirms the end of the file.
    for (int pass = 0; pass <= maxTopLevelAtoms; ++pass) {
        if (offset == *fileSize)
            return found;
        if (offset > *fileSize)
            return std::nullopt;
        const std::optional<QByteArray> header = source.read(offset, 16);
        if (!header || header->size() < 8)
            return std::nullopt;
        quint64 size = be32(*header, 0);
        if (size == 1) {
            if (header->size() < 16)
                return std::nullopt;
            size = be64(*header, 8);
        } else if (size == 0) {
            size = quint64(*fileSize - offset);
        }
        if (size < 8)
            return std::nullopt;
        // An atom reaching past the end can never land on it; stopping here also keeps the
        // offset arithmetic from overflowing.
        if (size > quint64(*fileSize - offset))
            return std::nullopt;
        if (header->sliced(4, 4) == "moov")
            found = movieHeaderDuration(source, offset, offset + qint64(size));
        offset += qint64(size);
    }
    return std::nullopt;
}

} // namespace tessera::QuickTimeAtoms
