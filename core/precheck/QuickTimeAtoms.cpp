#include "core/precheck/QuickTimeAtoms.h"

#include "core/precheck/Boxes.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>

namespace tessera::QuickTimeAtoms {

namespace {

using Boxes::be32;
using Boxes::be64;

// A chain of more top-level atoms than this is not a movie we accept as complete, unless it is a
// fragmented movie's.
constexpr int maxTopLevelAtoms = 64;
// The atoms of a fragmented movie walked without an index: two per fragment, a million fragments
// (nine hours of one frame each at 30 fps), far beyond any reel. Each costs one 16-byte read.
constexpr qint64 maxFragmentedAtoms = 2 << 20;
// Children of movie boxes looked at, all together: real movies have one movie box with a handful.
constexpr int maxMovieChildren = 1024;
// Boxes of the index looked at (one per track), and atoms walked from the last indexed fragment
// to the index.
constexpr int maxIndexBoxes = 64;
constexpr int maxTailAtoms = 64;

// The atom types a QuickTime movie may start with. Anything else at the start of a file is
// another kind of file: text, a raw video stream, a media segment (styp, sidx, moof).
bool startsLikeAMovie(const QByteArray &head)
{
    static const std::array<QByteArrayView, 8> types{"ftyp", "moov", "mdat", "wide",
                                                     "free", "skip", "pnot", "uuid"};
    // Too little written to tell, or space set aside whose bytes have not been written yet.
    const QByteArray header = head.first(std::min<qsizetype>(8, head.size()));
    if (header.size() <= 4 || header.count('\0') == header.size())
        return true;
    const QByteArrayView type =
        QByteArrayView(head).sliced(4, std::min<qsizetype>(4, head.size() - 4));
    if (std::none_of(types.begin(), types.end(),
                     [&](QByteArrayView known) { return known.startsWith(type); }))
        return false;
    const quint32 size = be32(head, 0);
    return size == 0 || size == 1 || size >= 8;
}

struct MovieBox
{
    std::optional<double> duration; // from the first mvhd
    bool fragmented = false;        // holds mvex
};

// The duration from the first child of the moov atom [start, end) that is an mvhd, and whether
// a movie-extends box (mvex) announces fragments.
MovieBox readMovieBox(ByteSource &source, qint64 start, qint64 end, int &childrenLeft)
{
    MovieBox movie;
    bool headerSeen = false;
    qint64 position = start + 8;
    while (childrenLeft-- > 0 && position + 8 <= end) {
        const std::optional<QByteArray> header = source.read(position, 8);
        if (!header || header->size() < 8)
            break;
        const quint32 size = be32(*header, 0);
        if (size < 8)
            break;
        const QByteArray type = header->sliced(4, 4);
        if (type == "mvex")
            movie.fragmented = true;
        if (type == "mvhd" && !headerSeen) {
            headerSeen = true;
            const std::optional<QByteArray> body = source.read(position + 8, 32);
            if (!body || body->size() < 20)
                return movie;
            quint32 timeScale;
            quint64 duration;
            if (quint8(body->at(0)) == 1) {
                if (body->size() < 32)
                    return movie;
                timeScale = be32(*body, 20);
                duration = be64(*body, 24);
            } else {
                timeScale = be32(*body, 12);
                duration = be32(*body, 16);
            }
            if (timeScale == 0)
                return movie;
            movie.duration = double(duration) / double(timeScale);
        }
        position += size;
    }
    return movie;
}

// One top-level atom header at offset in a file of fileSize: its size, or nothing when the header
// is short or the size impossible or beyond the end. `impossible` tells the sizes no box can have,
// which no export in progress writes, from the ones that are only cut short.
struct Atom
{
    QByteArray type;
    qint64 size = 0;
};

std::optional<Atom> atomAt(ByteSource &source, qint64 offset, qint64 fileSize,
                           bool *impossible = nullptr)
{
    const std::optional<QByteArray> header = source.read(offset, 16);
    if (!header || header->size() < 8)
        return std::nullopt;
    quint64 size = be32(*header, 0);
    if (size == 1) {
        if (header->size() < 16)
            return std::nullopt;
        size = be64(*header, 8);
    } else if (size == 0) {
        size = quint64(fileSize - offset);
    }
    if (size < 8 && impossible)
        *impossible = true;
    // An atom reaching past the end can never land on it; stopping here also keeps the offset
    // arithmetic from overflowing.
    if (size < 8 || size > quint64(fileSize - offset))
        return std::nullopt;
    return Atom{header->sliced(4, 4), qint64(size)};
}

// The last fragments of a fragmented movie, found through its index: the mfra box that the mfro
// box at the very end of the file measures, whose tfra boxes give per track the offset of the
// last fragment they list. From the earliest of those the atoms must chain exactly onto the
// index. Nothing when there is no index or it does not fit the file.
std::optional<QList<qint64>> indexedTail(ByteSource &source, qint64 fileSize, qint64 firstFragment)
{
    if (fileSize - firstFragment < 8 + 16)
        return std::nullopt;
    const std::optional<QByteArray> mfro = source.read(fileSize - 16, 16);
    if (!mfro || mfro->size() < 16 || be32(*mfro, 0) != 16 || mfro->sliced(4, 4) != "mfro")
        return std::nullopt;
    const qint64 indexSize = be32(*mfro, 12);
    const qint64 indexStart = fileSize - indexSize;
    if (indexSize < 8 + 16 || indexStart <= firstFragment)
        return std::nullopt;
    const std::optional<QByteArray> mfra = source.read(indexStart, 8);
    if (!mfra || mfra->size() < 8 || be32(*mfra, 0) != quint64(indexSize) ||
        mfra->sliced(4, 4) != "mfra")
        return std::nullopt;

    qint64 tailStart = indexStart;
    qint64 position = indexStart + 8;
    for (int box = 0; box < maxIndexBoxes && position < fileSize; ++box) {
        const std::optional<QByteArray> head = source.read(position, 24);
        if (!head || head->size() < 8)
            return std::nullopt;
        const qint64 size = be32(*head, 0);
        if (size < 8 || size > fileSize - position)
            return std::nullopt;
        if (head->sliced(4, 4) == "tfra" && size >= 24 && head->size() == 24) {
            // Version 1 entries carry 64-bit times and offsets; the three numbers after them
            // take 1 to 4 bytes each, as the low six bits of the sizes field say.
            const bool wide = quint8(head->at(8)) == 1;
            const quint32 sizes = be32(*head, 16);
            const qint64 entrySize =
                (wide ? 16 : 8) + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3) + 3;
            const qint64 entries = be32(*head, 20);
            if (entries > (size - 24) / entrySize)
                return std::nullopt;
            if (entries > 0) {
                const std::optional<QByteArray> last =
                    source.read(position + 24 + (entries - 1) * entrySize, entrySize);
                if (!last || last->size() < entrySize)
                    return std::nullopt;
                const quint64 fragment = wide ? be64(*last, 8) : be32(*last, 4);
                if (fragment < quint64(firstFragment) || fragment >= quint64(indexStart))
                    return std::nullopt;
                tailStart = std::min(tailStart, qint64(fragment));
            }
        }
        position += size;
    }
    if (position != fileSize || tailStart == indexStart)
        return std::nullopt;

    QList<qint64> fragments;
    qint64 offset = tailStart;
    for (int pass = 0; pass < maxTailAtoms && offset < indexStart; ++pass) {
        const std::optional<Atom> atom = atomAt(source, offset, indexStart);
        if (!atom || (offset == tailStart && atom->type != "moof"))
            return std::nullopt;
        if (atom->type == "moof")
            fragments.append(offset);
        offset += atom->size;
    }
    if (offset != indexStart)
        return std::nullopt;
    return fragments;
}

} // namespace

Outline outline(ByteSource &source)
{
    const std::optional<qint64> fileSize = source.size();
    if (!fileSize || *fileSize == 0)
        return {};
    const std::optional<QByteArray> head = source.read(0, 16);
    if (!head)
        return {};
    if (!startsLikeAMovie(*head))
        return Outline{Outline::Shape::notAMovie, 0, false, {}};

    bool movieSeen = false;
    MovieBox movie;
    int childrenLeft = maxMovieChildren;
    QList<qint64> fragments;
    qint64 offset = 0;
    bool impossible = false;
    // A fragmented movie without an index is walked through all its fragments: the bytes read
    // grow by 32 (two atom headers) with each fragment, never with the fragments' size.
    for (qint64 pass = 0; offset != *fileSize; ++pass) {
        if (pass >= (movie.fragmented ? maxFragmentedAtoms : maxTopLevelAtoms))
            break;
        const std::optional<Atom> atom = atomAt(source, offset, *fileSize, &impossible);
        if (!atom)
            break;
        if (atom->type == "moov") {
            movieSeen = true;
            movie = readMovieBox(source, offset, offset + atom->size, childrenLeft);
        } else if (atom->type == "moof") {
            // Fragments before any movie box: a media segment, played only after the movie
            // header of another file.
            if (!movieSeen)
                return Outline{Outline::Shape::notAMovie, 0, false, {}};
            if (movie.fragmented && fragments.isEmpty() && movie.duration) {
                if (auto tail = indexedTail(source, *fileSize, offset))
                    return Outline{Outline::Shape::movie, *movie.duration, true, *tail};
            }
            fragments.append(offset);
        }
        offset += atom->size;
    }

    const Outline damaged{Outline::Shape::damaged, 0, false, {}};
    // A complete movie box whose header can't be read is no export still being written.
    if (movieSeen && !movie.duration)
        return damaged;
    if (offset == *fileSize && movie.duration) {
        if (!movie.fragmented)
            fragments.clear();
        return Outline{Outline::Shape::movie, *movie.duration, movie.fragmented, fragments};
    }
    // The chain breaks off after a complete movie box that holds every sample's place: what
    // follows is stray bytes if the samples are all in the file. Fragments go on after the movie
    // box, so a fragmented movie whose chain breaks off is still being written.
    if (movieSeen && !movie.fragmented)
        return Outline{Outline::Shape::movie, *movie.duration, false, {}, true};
    return impossible ? damaged : Outline{};
}

} // namespace tessera::QuickTimeAtoms
