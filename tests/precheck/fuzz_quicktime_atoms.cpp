// Feeds arbitrary bytes to the top-level atom walk as if they were a whole file.

#include "core/precheck/QuickTimeAtoms.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using Outline = tessera::QuickTimeAtoms::Outline;
    tessera::MemorySource source(
        QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const Outline outline = tessera::QuickTimeAtoms::outline(source);
    // A duration is a count over a non-zero time scale: never negative, never NaN.
    if (!(outline.duration >= 0))
        std::abort();
    // Fragments are only ever listed for a fragmented movie, in file order, inside the file.
    if (!outline.fragments.isEmpty() &&
        (outline.shape != Outline::Shape::movie || !outline.fragmented))
        std::abort();
    for (qsizetype i = 0; i < outline.fragments.size(); ++i) {
        const qint64 at = outline.fragments[i];
        if (at < 0 || at >= qint64(size) || (i > 0 && at <= outline.fragments[i - 1]))
            std::abort();
    }
    // Stray bytes are only ever said of a movie without fragments.
    if (outline.strayBytes && (outline.shape != Outline::Shape::movie || outline.fragmented))
        std::abort();
    // 64 atom headers, 1024 movie-box children with their headers, and the index with its last
    // fragments, besides one 16-byte header for each top-level atom of a fragmented movie, which
    // takes at least 8 bytes of the file: what the walk reads never depends on the atoms' size.
    if (source.bytesRead() > 16 * 1024 + 2 * qint64(size))
        std::abort();
    return 0;
}
