#include "core/precheck/MediaProbe.h"

#include <QList>
#include <QtEndian>

#include <cmath>
#include <variant>

namespace tessera::MediaProbe {

namespace {

// The box headers one probe may read, all containers together: a real movie has a few dozen, and
// the bound keeps a hostile file of millions of tiny boxes from making the walk slow.
constexpr int maxBoxes = 10000;
// Time-to-sample entries are read in slices of this many, and at most this many in all: one
// entry per frame of 37 hours at 30 fps, far beyond any reel, and a bounded read in a hostile file.
constexpr qint64 sttsSlice = 4096;
constexpr qint64 maxSttsEntries = 4 << 20;

struct Box
{
    QByteArray type;
    qint64 offset = 0;
    qint64 headerSize = 8;
    qint64 size = 0;

    qint64 payloadOffset() const { return offset + headerSize; }
    qint64 payloadSize() const { return size - headerSize; }
    qint64 end() const { return offset + size; }
};

// A failure phrase, carried out of the nested walk.
struct Failure
{
    QString text;
};

template<typename T>
using Outcome = std::variant<T, Failure>;

quint32 be32(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

quint64 be64(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint64>(bytes.constData() + at);
}

// A box type for a failure phrase; bytes that aren't printable ASCII are shown as "?".
QString typeText(const QByteArray &type)
{
    QString text = QStringLiteral("'");
    for (char byte : type)
        text += (byte >= 0x20 && byte < 0x7f) ? QChar::fromLatin1(byte) : QChar(u'?');
    return text + QStringLiteral("'");
}

// The box header at position inside a container that ends at end. `where` names the container
// for the failure ("the movie box").
Outcome<Box> boxAt(ByteSource &source, qint64 position, qint64 end, const QString &where)
{
    if (end - position < 8)
        return Failure{where + QStringLiteral(" ends in the middle of a box header")};
    const std::optional<QByteArray> header = source.read(position, 16);
    if (!header)
        return Failure{QStringLiteral("reading ") + where + QStringLiteral(" failed")};
    if (header->size() < 8)
        return Failure{where + QStringLiteral(" is cut short")};
    Box box;
    box.type = header->sliced(4, 4);
    box.offset = position;
    quint64 size = be32(*header, 0);
    if (size == 1) {
        if (header->size() < 16 || end - position < 16)
            return Failure{where + QStringLiteral(" ends in the middle of a box header")};
        size = be64(*header, 8);
        box.headerSize = 16;
    } else if (size == 0) {
        size = quint64(end - position);
    }
    if (size < quint64(box.headerSize))
        return Failure{QStringLiteral("the ") + typeText(box.type) + QStringLiteral(" box in ") +
                       where + QStringLiteral(" has an impossible size")};
    if (size > quint64(end - position))
        return Failure{QStringLiteral("the ") + typeText(box.type) +
                       QStringLiteral(" box runs past the end of ") + where};
    box.size = qint64(size);
    return box;
}

// The boxes inside [begin, end).
Outcome<QList<Box>> children(ByteSource &source, int &boxesLeft, qint64 begin, qint64 end,
                             const QString &where)
{
    QList<Box> boxes;
    for (qint64 position = begin; position < end;) {
        if (--boxesLeft < 0)
            return Failure{QStringLiteral("it holds too many boxes")};
        Outcome<Box> box = boxAt(source, position, end, where);
        if (auto *failure = std::get_if<Failure>(&box))
            return *failure;
        boxes.append(std::get<Box>(box));
        position = boxes.constLast().end();
    }
    return boxes;
}

const Box *first(const QList<Box> &boxes, const char *type)
{
    for (const Box &box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

// The first `length` bytes of a box's payload; a shorter payload or a short read is a failure.
Outcome<QByteArray> payload(ByteSource &source, const Box &box, qint64 length, const QString &what)
{
    if (box.payloadSize() < length)
        return Failure{what + QStringLiteral(" is too short")};
    const std::optional<QByteArray> bytes = source.read(box.payloadOffset(), length);
    if (!bytes)
        return Failure{QStringLiteral("reading ") + what + QStringLiteral(" failed")};
    if (bytes->size() < length)
        return Failure{what + QStringLiteral(" is cut short")};
    return *bytes;
}

struct VideoTrack
{
    double width = 0;
    double height = 0;
    QString codec;
    double fps = 0;
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

// Frames per second from the number of samples over the media duration.
Outcome<double> readFrameRate(ByteSource &source, const Box &mdhd, const Box *stts,
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
    const quint32 timeScale = wide ? be32(bytes, 20) : be32(bytes, 12);
    const quint64 duration = wide ? be64(bytes, 24) : be32(bytes, 16);
    if (!stts || timeScale == 0 || duration == 0)
        return 0.0;

    const QString tableWhat = QStringLiteral("the time-to-sample table of ") + track;
    Outcome<QByteArray> tableHead = payload(source, *stts, 8, tableWhat);
    if (auto *failure = std::get_if<Failure>(&tableHead))
        return *failure;
    const qint64 entries = be32(std::get<QByteArray>(tableHead), 4);
    if (entries * 8 > stts->payloadSize() - 8)
        return Failure{tableWhat + QStringLiteral(" is too short")};
    if (entries > maxSttsEntries)
        return Failure{tableWhat + QStringLiteral(" is too long")};
    quint64 samples = 0;
    for (qint64 done = 0; done < entries;) {
        const qint64 count = std::min(sttsSlice, entries - done);
        const std::optional<QByteArray> slice =
            source.read(stts->payloadOffset() + 8 + done * 8, count * 8);
        if (!slice || slice->size() < count * 8)
            return Failure{tableWhat + QStringLiteral(" is cut short")};
        for (qint64 i = 0; i < count; ++i)
            samples += be32(*slice, i * 8);
        done += count;
    }
    return double(samples) * double(timeScale) / double(duration);
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

Outcome<VideoTrack> readVideoTrack(ByteSource &source, int &boxesLeft, const QList<Box> &trak,
                                   const QList<Box> &mdia, const Box &mdhd, const QString &track)
{
    const Box *tkhd = first(trak, "tkhd");
    if (!tkhd)
        return Failure{track + QStringLiteral(" has no track header")};
    Outcome<VideoTrack> header = readTrackHeader(source, *tkhd, track);
    if (std::holds_alternative<Failure>(header))
        return header;
    VideoTrack video = std::get<VideoTrack>(header);

    std::optional<Box> stsd;
    std::optional<Box> stts;
    if (const Box *minf = first(mdia, "minf")) {
        Outcome<QList<Box>> minfBoxes =
            children(source, boxesLeft, minf->payloadOffset(), minf->end(),
                     QStringLiteral("the media information of ") + track);
        if (auto *failure = std::get_if<Failure>(&minfBoxes))
            return *failure;
        if (const Box *stbl = first(std::get<QList<Box>>(minfBoxes), "stbl")) {
            Outcome<QList<Box>> stblBoxes =
                children(source, boxesLeft, stbl->payloadOffset(), stbl->end(),
                         QStringLiteral("the sample table of ") + track);
            if (auto *failure = std::get_if<Failure>(&stblBoxes))
                return *failure;
            const QList<Box> &table = std::get<QList<Box>>(stblBoxes);
            if (const Box *box = first(table, "stsd"))
                stsd = *box;
            if (const Box *box = first(table, "stts"))
                stts = *box;
        }
    }

    if (stsd) {
        Outcome<QString> codec = readCodec(source, *stsd, track);
        if (auto *failure = std::get_if<Failure>(&codec))
            return *failure;
        video.codec = std::get<QString>(codec);
    }
    Outcome<double> fps = readFrameRate(source, mdhd, stts ? &*stts : nullptr, track);
    if (auto *failure = std::get_if<Failure>(&fps))
        return *failure;
    video.fps = std::get<double>(fps);
    return video;
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

Outcome<MediaInfo> probe(ByteSource &source)
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
        Outcome<Box> box = boxAt(source, position, *fileSize, QStringLiteral("the file"));
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

    MediaInfo info;
    int trackNumber = 0;
    for (const Box &trakBox : std::get<QList<Box>>(moovChildren)) {
        if (trakBox.type != "trak")
            continue;
        const QString track = QStringLiteral("track %1").arg(++trackNumber);
        Outcome<QList<Box>> trak =
            children(source, boxesLeft, trakBox.payloadOffset(), trakBox.end(), track);
        if (auto *failure = std::get_if<Failure>(&trak))
            return *failure;
        const Box *mdiaBox = first(std::get<QList<Box>>(trak), "mdia");
        if (!mdiaBox)
            return Failure{track + QStringLiteral(" has no media box")};
        Outcome<QList<Box>> mdia =
            children(source, boxesLeft, mdiaBox->payloadOffset(), mdiaBox->end(),
                     QStringLiteral("the media box of ") + track);
        if (auto *failure = std::get_if<Failure>(&mdia))
            return *failure;
        const QList<Box> &media = std::get<QList<Box>>(mdia);
        const Box *hdlr = first(media, "hdlr");
        if (!hdlr)
            return Failure{track + QStringLiteral(" has no handler")};
        Outcome<QByteArray> handlerBytes =
            payload(source, *hdlr, 12, QStringLiteral("the handler of ") + track);
        if (auto *failure = std::get_if<Failure>(&handlerBytes))
            return *failure;
        const QByteArray handler = std::get<QByteArray>(handlerBytes).sliced(8, 4);

        if (handler != "vide") {
            info.otherTracks.append(otherTrackKind(handler));
            continue;
        }
        if (++info.videoTracks > 1)
            continue;
        const Box *mdhd = first(media, "mdhd");
        if (!mdhd)
            return Failure{track + QStringLiteral(" has no media header")};
        Outcome<VideoTrack> video =
            readVideoTrack(source, boxesLeft, std::get<QList<Box>>(trak), media, *mdhd, track);
        if (auto *failure = std::get_if<Failure>(&video))
            return *failure;
        const VideoTrack &found = std::get<VideoTrack>(video);
        // Halves away from zero, as the natural size is shown elsewhere.
        info.width = int(std::lround(found.width));
        info.height = int(std::lround(found.height));
        info.codec = found.codec;
        info.fps = found.fps;
    }
    return info;
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
    Outcome<MediaInfo> outcome = probe(source);
    if (auto *failure = std::get_if<Failure>(&outcome))
        return Result{std::nullopt, failure->text};
    return Result{std::get<MediaInfo>(outcome), QString()};
}

QString fourCC(quint32 code)
{
    char bytes[4];
    qToBigEndian(code, bytes);
    return QString::fromUtf8(bytes, 4).trimmed();
}

} // namespace tessera::MediaProbe
