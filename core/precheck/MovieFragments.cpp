#include "core/precheck/MovieFragments.h"

#include <algorithm>

namespace tessera::MovieFragments {

namespace {

using namespace Boxes;

// Track fragment header flags: which optional fields follow the track ID.
constexpr quint32 baseDataOffsetPresent = 0x01;
constexpr quint32 descriptionIndexPresent = 0x02;
constexpr quint32 defaultDurationPresent = 0x08;
// Track run flags.
constexpr quint32 dataOffsetPresent = 0x001;
constexpr quint32 firstFlagsPresent = 0x004;
constexpr quint32 durationPresent = 0x100;
constexpr quint32 sizePresent = 0x200;
constexpr quint32 flagsPresent = 0x400;
constexpr quint32 offsetPresent = 0x800;
// Per-sample records are read in slices of this many.
constexpr qint64 runSlice = 4096;
// Box headers read in one fragment, all its track fragments together: a real one holds a handful
// per track.
constexpr int maxFragmentBoxes = 256;

struct Header
{
    quint32 track = 0;
    std::optional<quint32> defaultDuration;
};

Outcome<Header> readHeader(ByteSource &source, const Box &tfhd, const QString &what)
{
    Outcome<QByteArray> head = payload(source, tfhd, 8, what);
    if (auto *failure = std::get_if<Failure>(&head))
        return *failure;
    const quint32 flags = be32(std::get<QByteArray>(head), 0) & 0xFFFFFF;
    Header header{be32(std::get<QByteArray>(head), 4), std::nullopt};
    if (!(flags & defaultDurationPresent))
        return header;
    const qint64 at =
        8 + ((flags & baseDataOffsetPresent) ? 8 : 0) + ((flags & descriptionIndexPresent) ? 4 : 0);
    Outcome<QByteArray> body = payload(source, tfhd, at + 4, what);
    if (auto *failure = std::get_if<Failure>(&body))
        return *failure;
    header.defaultDuration = be32(std::get<QByteArray>(body), at);
    return header;
}

Outcome<quint64> readDecodeTime(ByteSource &source, const Box &tfdt, const QString &what)
{
    Outcome<QByteArray> version = payload(source, tfdt, 1, what);
    if (auto *failure = std::get_if<Failure>(&version))
        return *failure;
    const bool wide = quint8(std::get<QByteArray>(version).at(0)) == 1;
    Outcome<QByteArray> body = payload(source, tfdt, wide ? 12 : 8, what);
    if (auto *failure = std::get_if<Failure>(&body))
        return *failure;
    const QByteArray &bytes = std::get<QByteArray>(body);
    return wide ? be64(bytes, 4) : quint64(be32(bytes, 4));
}

// Adds one track run's samples and their durations to timing.
std::optional<Failure> addRun(ByteSource &source, const Box &trun, quint32 defaultDuration,
                              qint64 &samplesLeft, Timing &timing, const QString &what)
{
    Outcome<QByteArray> head = payload(source, trun, 8, what);
    if (auto *failure = std::get_if<Failure>(&head))
        return *failure;
    const quint32 flags = be32(std::get<QByteArray>(head), 0) & 0xFFFFFF;
    const qint64 count = be32(std::get<QByteArray>(head), 4);
    timing.samples += quint64(count);
    if (!(flags & durationPresent)) {
        timing.time += quint64(count) * defaultDuration;
        return std::nullopt;
    }
    const qint64 recordsAt =
        8 + ((flags & dataOffsetPresent) ? 4 : 0) + ((flags & firstFlagsPresent) ? 4 : 0);
    const qint64 record = 4 + ((flags & sizePresent) ? 4 : 0) + ((flags & flagsPresent) ? 4 : 0) +
                          ((flags & offsetPresent) ? 4 : 0);
    if (count > (trun.payloadSize() - recordsAt) / record)
        return Failure{what + QStringLiteral(" is too short")};
    samplesLeft -= count;
    if (samplesLeft < 0)
        return Failure{what + QStringLiteral(" is too long")};
    for (qint64 done = 0; done < count;) {
        const qint64 slice = std::min(runSlice, count - done);
        const std::optional<QByteArray> bytes =
            source.read(trun.payloadOffset() + recordsAt + done * record, slice * record);
        if (!bytes || bytes->size() < slice * record)
            return Failure{what + QStringLiteral(" is cut short")};
        for (qint64 i = 0; i < slice; ++i)
            timing.time += be32(*bytes, i * record);
        done += slice;
    }
    return std::nullopt;
}

} // namespace

Outcome<QHash<quint32, Timing>> read(ByteSource &source, qint64 &samplesLeft,
                                     const QList<qint64> &fragments, qint64 fileSize,
                                     const QHash<quint32, Track> &tracks)
{
    QHash<quint32, Timing> timings;
    QHash<quint32, quint64> ends; // where each track's fragments read so far end
    for (auto it = tracks.cbegin(); it != tracks.cend(); ++it)
        ends.insert(it.key(), it->start);

    for (const qint64 offset : fragments) {
        const QString where = QStringLiteral("the fragment at byte %1").arg(offset);
        int boxesLeft = maxFragmentBoxes;
        Outcome<Box> moof = at(source, offset, fileSize, QStringLiteral("the file"));
        if (auto *failure = std::get_if<Failure>(&moof))
            return *failure;
        const Box &fragment = std::get<Box>(moof);
        Outcome<QList<Box>> trafs =
            children(source, boxesLeft, fragment.payloadOffset(), fragment.end(), where);
        if (auto *failure = std::get_if<Failure>(&trafs))
            return *failure;
        for (const Box &traf : std::get<QList<Box>>(trafs)) {
            if (traf.type != "traf")
                continue;
            Outcome<QList<Box>> parts =
                children(source, boxesLeft, traf.payloadOffset(), traf.end(), where);
            if (auto *failure = std::get_if<Failure>(&parts))
                return *failure;
            const QList<Box> &boxes = std::get<QList<Box>>(parts);
            const Box *tfhd = first(boxes, "tfhd");
            if (!tfhd)
                return Failure{where + QStringLiteral(" has a track without a header")};
            Outcome<Header> header =
                readHeader(source, *tfhd, QStringLiteral("the track header of ") + where);
            if (auto *failure = std::get_if<Failure>(&header))
                return *failure;
            const quint32 id = std::get<Header>(header).track;
            const auto track = tracks.constFind(id);
            if (track == tracks.constEnd())
                continue;

            Timing &timing = timings[id];
            quint64 start = ends.value(id);
            if (const Box *tfdt = first(boxes, "tfdt")) {
                Outcome<quint64> decodeTime =
                    readDecodeTime(source, *tfdt, QStringLiteral("the decode time of ") + where);
                if (auto *failure = std::get_if<Failure>(&decodeTime))
                    return *failure;
                start = std::get<quint64>(decodeTime);
            }
            const quint32 defaultDuration =
                std::get<Header>(header).defaultDuration.value_or(track->defaultDuration);
            const quint64 timeBefore = timing.time;
            for (const Box &box : boxes) {
                if (box.type != "trun")
                    continue;
                if (auto failure = addRun(source, box, defaultDuration, samplesLeft, timing,
                                          QStringLiteral("the sample run of ") + where))
                    return *failure;
            }
            ends[id] = start + (timing.time - timeBefore);
            timing.end = std::max(timing.end, ends[id]);
        }
    }
    return timings;
}

} // namespace tessera::MovieFragments
