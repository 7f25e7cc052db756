#include "core/precheck/MediaProbe.h"

#include "core/precheck/MovieFragments.h"
#include "core/precheck/QuickTimeAtoms.h"

#include <QList>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <variant>

namespace tessera::MediaProbe {

namespace {

using namespace Boxes;

// The box headers one probe may read, all containers together: a real movie has a few dozen, and
// the bound keeps a hostile file of millions of tiny boxes from making the walk slow.
constexpr int maxBoxes = 10000;
// Time-to-sample entries are read in slices of this many, and at most this many in all: one
// entry per frame of 37 hours at 30 fps, far beyond any reel, and a bounded read in a hostile file.
constexpr qint64 sttsSlice = 4096;
constexpr qint64 maxSttsEntries = 4 << 20;
// The same bound for the sample durations of fragments.
constexpr qint64 maxFragmentSamples = 4 << 20;
// Sample sizes read to find where a track's last chunk ends; a video chunk holds one.
constexpr qint64 maxChunkSamples = 4096;

struct VideoTrack
{
    double width = 0;
    double height = 0;
    QString codec;
};

// Natural size from the track header: 16.16 fixed point at the end of tkhd.
Outcome<VideoTrack> readTrackHeader(ByteSource &source, const Box &tkhd, const QString &track)
{
    const QString what = QStringLiteral("the track header of ") + track;
    Outcome<QByteArray> version = payload(source, tkhd, 1, what);
    if (auto *failure = std::get_if<Failure>(&version))
        return *failure;
    const bool wide = quint8(std::get<QByteArray>(version).at(0)) == 1;
    const qint64 sizeAt = wide ? 88 : 76;
    Outcome<QByteArray> body = payload(source, tkhd, sizeAt + 8, what);
    if (auto *failure = std::get_if<Failure>(&body))
        return *failure;
    const QByteArray &bytes = std::get<QByteArray>(body);
    VideoTrack video;
    video.width = be32(bytes, sizeAt) / 65536.0;
    video.height = be32(bytes, sizeAt + 4) / 65536.0;
    return video;
}

// The track ID, which fragments name their tracks by.
Outcome<quint32> readTrackID(ByteSource &source, const Box &tkhd, const QString &track)
{
    const QString what = QStringLiteral("the track header of ") + track;
    Outcome<QByteArray> version = payload(source, tkhd, 1, what);
    if (auto *failure = std::get_if<Failure>(&version))
        return *failure;
    const qint64 idAt = quint8(std::get<QByteArray>(version).at(0)) == 1 ? 20 : 12;
    Outcome<QByteArray> body = payload(source, tkhd, idAt + 4, what);
    if (auto *failure = std::get_if<Failure>(&body))
        return *failure;
    return be32(std::get<QByteArray>(body), idAt);
}

// A track's timing as its movie box gives it.
struct SampleTiming
{
    quint32 timeScale = 0;
    quint64 duration = 0; // of the media, from the media header
    quint64 samples = 0;  // from the time-to-sample table
    quint64 time = 0;     // the samples' durations added up
};

// The media header and the time-to-sample table.
Outcome<SampleTiming> readTiming(ByteSource &source, const Box &mdhd, const Box *stts,
                                 const QString &track)
{
    const QString headerWhat = QStringLiteral("the media header of ") + track;
    Outcome<QByteArray> version = payload(source, mdhd, 1, headerWhat);
    if (auto *failure = std::get_if<Failure>(&version))
        return *failure;
    const bool wide = quint8(std::get<QByteArray>(version).at(0)) == 1;
    Outcome<QByteArray> header = payload(source, mdhd, wide ? 32 : 20, headerWhat);
    if (auto *failure = std::get_if<Failure>(&header))
        return *failure;
    const QByteArray &bytes = std::get<QByteArray>(header);
    SampleTiming timing;
    timing.timeScale = wide ? be32(bytes, 20) : be32(bytes, 12);
    timing.duration = wide ? be64(bytes, 24) : be32(bytes, 16);
    if (!stts || timing.timeScale == 0)
        return timing;

    const QString tableWhat = QStringLiteral("the time-to-sample table of ") + track;
    Outcome<QByteArray> tableHead = payload(source, *stts, 8, tableWhat);
    if (auto *failure = std::get_if<Failure>(&tableHead))
        return *failure;
    const qint64 entries = be32(std::get<QByteArray>(tableHead), 4);
    if (entries * 8 > stts->payloadSize() - 8)
        return Failure{tableWhat + QStringLiteral(" is too short")};
    if (entries > maxSttsEntries)
        return Failure{tableWhat + QStringLiteral(" is too long")};
    for (qint64 done = 0; done < entries;) {
        const qint64 count = std::min(sttsSlice, entries - done);
        const std::optional<QByteArray> slice =
            source.read(stts->payloadOffset() + 8 + done * 8, count * 8);
        if (!slice || slice->size() < count * 8)
            return Failure{tableWhat + QStringLiteral(" is cut short")};
        for (qint64 i = 0; i < count; ++i) {
            timing.samples += be32(*slice, i * 8);
            timing.time += quint64(be32(*slice, i * 8)) * be32(*slice, i * 8 + 4);
        }
        done += count;
    }
    return timing;
}

// Frames per second from the number of samples over the time they take.
double frameRate(quint64 samples, quint32 timeScale, quint64 time)
{
    if (timeScale == 0 || time == 0)
        return 0;
    return double(samples) * double(timeScale) / double(time);
}

// The four-character code of the first sample description; empty when there is none.
Outcome<QString> readCodec(ByteSource &source, const Box &stsd, const QString &track)
{
    const QString what = QStringLiteral("the sample descriptions of ") + track;
    Outcome<QByteArray> head = payload(source, stsd, 8, what);
    if (auto *failure = std::get_if<Failure>(&head))
        return *failure;
    if (be32(std::get<QByteArray>(head), 4) == 0)
        return QString();
    Outcome<QByteArray> entry = payload(source, stsd, 16, what);
    if (auto *failure = std::get_if<Failure>(&entry))
        return *failure;
    return fourCC(be32(std::get<QByteArray>(entry), 12));
}

// Where a track's last chunk ends, as its sample tables put it, against the end of the file.
enum class MediaEnd {
    inFile,  // every sample lies in the file, or the track has none
    pastEnd, // the media the movie box describes was never written, or was cut off
    unknown, // tables that do not add up say nothing either way
};

MediaEnd mediaEnd(ByteSource &source, const QList<Box> &table, qint64 fileSize)
{
    if (table.isEmpty())
        return MediaEnd::inFile; // no sample table, no samples
    const Box *chunks = first(table, "stco");
    const bool wide = !chunks;
    if (wide)
        chunks = first(table, "co64");
    if (!chunks || chunks->payloadSize() < 8)
        return MediaEnd::unknown;
    const std::optional<QByteArray> head = source.read(chunks->payloadOffset(), 8);
    if (!head || head->size() < 8)
        return MediaEnd::unknown;
    const qint64 offsetSize = wide ? 8 : 4;
    const qint64 count = be32(*head, 4);
    if (count == 0)
        return MediaEnd::inFile;
    if (count > (chunks->payloadSize() - 8) / offsetSize)
        return MediaEnd::unknown;
    const std::optional<QByteArray> last =
        source.read(chunks->payloadOffset() + 8 + (count - 1) * offsetSize, offsetSize);
    if (!last || last->size() < offsetSize)
        return MediaEnd::unknown;
    const quint64 lastChunk = wide ? be64(*last, 0) : be32(*last, 0);
    if (lastChunk >= quint64(fileSize))
        return MediaEnd::pastEnd;

    // The last chunk holds the last samples, as many as the last sample-to-chunk entry says.
    const Box *stsc = first(table, "stsc");
    const Box *stsz = first(table, "stsz");
    if (!stsc || !stsz || stsc->payloadSize() < 8 || stsz->payloadSize() < 12)
        return MediaEnd::unknown;
    const std::optional<QByteArray> runs = source.read(stsc->payloadOffset(), 8);
    const std::optional<QByteArray> sizes = source.read(stsz->payloadOffset(), 12);
    if (!runs || runs->size() < 8 || !sizes || sizes->size() < 12)
        return MediaEnd::unknown;
    const qint64 runCount = be32(*runs, 4);
    if (runCount == 0 || runCount > (stsc->payloadSize() - 8) / 12)
        return MediaEnd::unknown;
    const std::optional<QByteArray> lastRun =
        source.read(stsc->payloadOffset() + 8 + (runCount - 1) * 12, 12);
    if (!lastRun || lastRun->size() < 12)
        return MediaEnd::unknown;
    const quint32 sampleSize = be32(*sizes, 4);
    const qint64 sampleCount = be32(*sizes, 8);
    const qint64 inChunk = std::min(qint64(be32(*lastRun, 4)), sampleCount);
    quint64 chunkBytes = quint64(inChunk) * sampleSize;
    if (sampleSize == 0) {
        // Sizes one by one: only as many as a video chunk holds are read.
        if (inChunk > maxChunkSamples || sampleCount > (stsz->payloadSize() - 12) / 4)
            return MediaEnd::unknown;
        const std::optional<QByteArray> tail =
            source.read(stsz->payloadOffset() + 12 + (sampleCount - inChunk) * 4, inChunk * 4);
        if (!tail || tail->size() < inChunk * 4)
            return MediaEnd::unknown;
        for (qint64 i = 0; i < inChunk; ++i)
            chunkBytes += be32(*tail, i * 4);
    }
    return lastChunk + chunkBytes > quint64(fileSize) ? MediaEnd::pastEnd : MediaEnd::inFile;
}

// The boxes of one track that the probe looks into.
struct TrackBoxes
{
    QList<Box> trak;
    QList<Box> media; // inside mdia
    QList<Box> table; // inside minf/stbl; empty when there is none
};

Outcome<TrackBoxes> readTrackBoxes(ByteSource &source, int &boxesLeft, const Box &trakBox,
                                   const QString &track)
{
    TrackBoxes boxes;
    Outcome<QList<Box>> trak =
        children(source, boxesLeft, trakBox.payloadOffset(), trakBox.end(), track);
    if (auto *failure = std::get_if<Failure>(&trak))
        return *failure;
    boxes.trak = std::get<QList<Box>>(trak);
    const Box *mdia = first(boxes.trak, "mdia");
    if (!mdia)
        return Failure{track + QStringLiteral(" has no media box")};
    Outcome<QList<Box>> media = children(source, boxesLeft, mdia->payloadOffset(), mdia->end(),
                                         QStringLiteral("the media box of ") + track);
    if (auto *failure = std::get_if<Failure>(&media))
        return *failure;
    boxes.media = std::get<QList<Box>>(media);
    const Box *minf = first(boxes.media, "minf");
    if (!minf)
        return boxes;
    Outcome<QList<Box>> information =
        children(source, boxesLeft, minf->payloadOffset(), minf->end(),
                 QStringLiteral("the media information of ") + track);
    if (auto *failure = std::get_if<Failure>(&information))
        return *failure;
    const Box *stbl = first(std::get<QList<Box>>(information), "stbl");
    if (!stbl)
        return boxes;
    Outcome<QList<Box>> table = children(source, boxesLeft, stbl->payloadOffset(), stbl->end(),
                                         QStringLiteral("the sample table of ") + track);
    if (auto *failure = std::get_if<Failure>(&table))
        return *failure;
    boxes.table = std::get<QList<Box>>(table);
    return boxes;
}

QString otherTrackKind(const QByteArray &handler)
{
    if (handler == "soun")
        return QStringLiteral("audio");
    if (handler == "text" || handler == "sbtl" || handler == "clcp" || handler == "subt")
        return QStringLiteral("text");
    if (handler == "tmcd")
        return QStringLiteral("timecode");
    return fourCC(qFromBigEndian<quint32>(handler.constData()));
}

// The default sample duration of each track that goes on in fragments, by track ID.
Outcome<QHash<quint32, quint32>> readFragmentDefaults(ByteSource &source, int &boxesLeft,
                                                      const Box &mvex)
{
    Outcome<QList<Box>> boxes = children(source, boxesLeft, mvex.payloadOffset(), mvex.end(),
                                         QStringLiteral("the movie extends box"));
    if (auto *failure = std::get_if<Failure>(&boxes))
        return *failure;
    QHash<quint32, quint32> defaults;
    for (const Box &trex : std::get<QList<Box>>(boxes)) {
        if (trex.type != "trex")
            continue;
        Outcome<QByteArray> body =
            payload(source, trex, 16, QStringLiteral("the track extends box"));
        if (auto *failure = std::get_if<Failure>(&body))
            return *failure;
        defaults.insert(be32(std::get<QByteArray>(body), 4), be32(std::get<QByteArray>(body), 12));
    }
    return defaults;
}

struct Probe
{
    MediaInfo info;
    bool mediaMissing = false;
    bool mediaInFile = true;
    double fragmentedDuration = 0;
};

Outcome<Probe> probe(ByteSource &source, const QList<qint64> &fragments)
{
    const std::optional<qint64> fileSize = source.size();
    if (!fileSize)
        return Failure{QStringLiteral("its size couldn't be found")};

    // Only the first movie box matters; the boxes after it may still be unfinished.
    std::optional<Box> moov;
    int boxesLeft = maxBoxes;
    for (qint64 position = 0; !moov;) {
        if (position >= *fileSize)
            return Failure{QStringLiteral("it has no movie box (moov)")};
        if (--boxesLeft < 0)
            return Failure{QStringLiteral("it holds too many boxes")};
        Outcome<Box> box = at(source, position, *fileSize, QStringLiteral("the file"));
        if (auto *failure = std::get_if<Failure>(&box))
            return *failure;
        if (std::get<Box>(box).type == "moov")
            moov = std::get<Box>(box);
        position = std::get<Box>(box).end();
    }

    Outcome<QList<Box>> moovChildren = children(source, boxesLeft, moov->payloadOffset(),
                                                moov->end(), QStringLiteral("the movie box"));
    if (auto *failure = std::get_if<Failure>(&moovChildren))
        return *failure;
    const QList<Box> &movie = std::get<QList<Box>>(moovChildren);

    // A movie-extends box says the media goes on in fragments after the movie box.
    const Box *mvex = first(movie, "mvex");
    QHash<quint32, quint32> defaultDurations;
    if (mvex) {
        Outcome<QHash<quint32, quint32>> defaults = readFragmentDefaults(source, boxesLeft, *mvex);
        if (auto *failure = std::get_if<Failure>(&defaults))
            return *failure;
        defaultDurations = std::get<QHash<quint32, quint32>>(defaults);
    }

    Probe result;
    MediaInfo &info = result.info;
    QHash<quint32, MovieFragments::Track> fragmentTracks;
    QHash<quint32, quint32> timeScales;
    SampleTiming videoTiming;
    quint32 videoID = 0;
    int trackNumber = 0;
    for (const Box &trakBox : movie) {
        if (trakBox.type != "trak")
            continue;
        const QString track = QStringLiteral("track %1").arg(++trackNumber);
        Outcome<TrackBoxes> read = readTrackBoxes(source, boxesLeft, trakBox, track);
        if (auto *failure = std::get_if<Failure>(&read))
            return *failure;
        const TrackBoxes &boxes = std::get<TrackBoxes>(read);
        const Box *hdlr = first(boxes.media, "hdlr");
        if (!hdlr)
            return Failure{track + QStringLiteral(" has no handler")};
        Outcome<QByteArray> handlerBytes =
            payload(source, *hdlr, 12, QStringLiteral("the handler of ") + track);
        if (auto *failure = std::get_if<Failure>(&handlerBytes))
            return *failure;
        const QByteArray handler = std::get<QByteArray>(handlerBytes).sliced(8, 4);
        const MediaEnd end = mediaEnd(source, boxes.table, *fileSize);
        result.mediaMissing = result.mediaMissing || end == MediaEnd::pastEnd;
        result.mediaInFile = result.mediaInFile && end == MediaEnd::inFile;

        const bool firstVideo = handler == "vide" && info.videoTracks == 0;
        SampleTiming timing;
        quint32 id = 0;
        if (firstVideo || mvex) {
            const Box *mdhd = first(boxes.media, "mdhd");
            if (!mdhd)
                return Failure{track + QStringLiteral(" has no media header")};
            Outcome<SampleTiming> read =
                readTiming(source, *mdhd, first(boxes.table, "stts"), track);
            if (auto *failure = std::get_if<Failure>(&read))
                return *failure;
            timing = std::get<SampleTiming>(read);
        }
        if (mvex) {
            const Box *tkhd = first(boxes.trak, "tkhd");
            if (!tkhd)
                return Failure{track + QStringLiteral(" has no track header")};
            Outcome<quint32> trackID = readTrackID(source, *tkhd, track);
            if (auto *failure = std::get_if<Failure>(&trackID))
                return *failure;
            id = std::get<quint32>(trackID);
            fragmentTracks.insert(id, {defaultDurations.value(id), timing.time});
            timeScales.insert(id, timing.timeScale);
        }

        if (handler != "vide") {
            info.otherTracks.append(otherTrackKind(handler));
            continue;
        }
        if (++info.videoTracks > 1)
            continue;
        const Box *tkhd = first(boxes.trak, "tkhd");
        if (!tkhd)
            return Failure{track + QStringLiteral(" has no track header")};
        Outcome<VideoTrack> video = readTrackHeader(source, *tkhd, track);
        if (auto *failure = std::get_if<Failure>(&video))
            return *failure;
        VideoTrack &found = std::get<VideoTrack>(video);
        if (const Box *stsd = first(boxes.table, "stsd")) {
            Outcome<QString> codec = readCodec(source, *stsd, track);
            if (auto *failure = std::get_if<Failure>(&codec))
                return *failure;
            found.codec = std::get<QString>(codec);
        }
        // Halves away from zero, as the natural size is shown elsewhere.
        info.width = int(std::lround(found.width));
        info.height = int(std::lround(found.height));
        info.codec = found.codec;
        // The samples' own durations say how fast they run; a media header may count time
        // beyond them (an edit's tail, a rounded length).
        info.fps = frameRate(timing.samples, timing.timeScale,
                             timing.time > 0 ? timing.time : timing.duration);
        videoTiming = timing;
        videoID = id;
    }
    if (!mvex)
        return result;

    // Fragmented: the movie runs as long as its longest track, fragments included, and the
    // video's rate counts the samples in the fragments read too.
    qint64 samplesLeft = maxFragmentSamples;
    Outcome<QHash<quint32, MovieFragments::Timing>> read =
        MovieFragments::read(source, samplesLeft, fragments, *fileSize, fragmentTracks);
    if (auto *failure = std::get_if<Failure>(&read))
        return *failure;
    const QHash<quint32, MovieFragments::Timing> &timings =
        std::get<QHash<quint32, MovieFragments::Timing>>(read);
    for (auto it = fragmentTracks.cbegin(); it != fragmentTracks.cend(); ++it) {
        const quint32 timeScale = timeScales.value(it.key());
        if (timeScale == 0)
            continue;
        const quint64 end = std::max(it->start, timings.value(it.key()).end);
        result.fragmentedDuration = std::max(result.fragmentedDuration, double(end) / timeScale);
    }
    if (info.videoTracks > 0) {
        const MovieFragments::Timing fragmentsOfVideo = timings.value(videoID);
        const quint64 samples = videoTiming.samples + fragmentsOfVideo.samples;
        info.fps =
            frameRate(samples, videoTiming.timeScale, videoTiming.time + fragmentsOfVideo.time);
        // A header that promises fragments, and no frame anywhere: the export stopped there.
        result.mediaMissing = result.mediaMissing || samples == 0;
    }
    return result;
}

} // namespace

Result read(const QString &path)
{
    FileSource source(path);
    if (!source.isOpen())
        return Result{std::nullopt, QStringLiteral("it couldn't be opened: ") + source.openError()};
    return read(source);
}

Result read(ByteSource &source)
{
    return read(source, QuickTimeAtoms::outline(source).fragments);
}

Result read(ByteSource &source, const QList<qint64> &fragments)
{
    Outcome<Probe> outcome = probe(source, fragments);
    if (auto *failure = std::get_if<Failure>(&outcome))
        return Result{std::nullopt, failure->text};
    const Probe &found = std::get<Probe>(outcome);
    return Result{found.info, QString(), found.mediaMissing, found.fragmentedDuration,
                  found.mediaInFile && !found.mediaMissing};
}

QString fourCC(quint32 code)
{
    char bytes[4];
    qToBigEndian(code, bytes);
    return QString::fromUtf8(bytes, 4).trimmed();
}

} // namespace tessera::MediaProbe
