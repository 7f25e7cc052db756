#pragma once

#include "core/precheck/ByteSource.h"
#include "core/precheck/MediaInfo.h"

#include <QList>
#include <QString>

#include <optional>

namespace tessera {

// Reads a movie's tracks from its QuickTime boxes (moov/trak/tkhd, mdia/hdlr, mdia/mdhd,
// minf/stbl/stsd, stts, and the ends of the chunk tables), and a fragmented movie's timing from
// its fragments. Only box headers and the small boxes it needs are read, never media data.
namespace MediaProbe {

// Either the movie's properties or why they could not be read.
struct Result
{
    std::optional<MediaInfo> info;
    // A plain lower-case phrase without a full stop, shown inside "Couldn't be read as a movie
    // (…)."
    QString failure;
    // The media is missing: a track's sample tables point past the end of the file, or a
    // fragmented movie has not one frame. An export that stopped after writing the header.
    bool mediaMissing = false;
    // Seconds: where the longest track ends, its fragments included. The running time of a
    // fragmented movie, which its movie header does not know; 0 for a movie without fragments.
    double fragmentedDuration = 0;
    // Every track's sample tables put its last samples inside the file: known to be all there.
    // False when a table says otherwise or cannot tell.
    bool mediaInFile = false;

    bool ok() const { return info.has_value(); }

    friend bool operator==(const Result &, const Result &) = default;
};

// Blocking; safe to call from several threads at once.
Result read(const QString &path);
Result read(ByteSource &source);
// With the fragments that QuickTimeAtoms::outline found, when the caller has them already.
Result read(ByteSource &source, const QList<qint64> &fragments);

// The four bytes of code, most significant first, as UTF-8 (invalid bytes replaced), trimmed.
QString fourCC(quint32 code);

} // namespace MediaProbe
} // namespace tessera
