#pragma once

#include "core/precheck/ByteSource.h"
#include "core/precheck/MediaInfo.h"

#include <QString>

#include <optional>

namespace tessera {

// Reads a movie's tracks from its QuickTime boxes (moov/trak/tkhd, mdia/hdlr, mdia/mdhd,
// minf/stbl/stsd, stts). Only box headers and the small boxes it needs are read, never media data.
namespace MediaProbe {

// Either the movie's properties or why they could not be read.
struct Result
{
    std::optional<MediaInfo> info;
    // A plain lower-case phrase without a full stop, shown inside "Couldn't be read as a movie
    // (…)."
    QString failure;

    bool ok() const { return info.has_value(); }

    friend bool operator==(const Result &, const Result &) = default;
};

// Blocking; safe to call from several threads at once.
Result read(const QString &path);
Result read(ByteSource &source);

// The four bytes of code, most significant first, as UTF-8 (invalid bytes replaced), trimmed.
QString fourCC(quint32 code);

} // namespace MediaProbe
} // namespace tessera
