// Feeds arbitrary bytes to the top-level atom walk as if they were a whole file.

#include "core/precheck/QuickTimeAtoms.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::MemorySource source(
        QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const std::optional<double> duration = tessera::QuickTimeAtoms::movieDuration(source);
    // A duration is a count over a non-zero time scale: never negative, never NaN.
    if (duration && !(*duration >= 0))
        std::abort();
    // 64 header reads of 16 bytes, plus at most 8 bytes per moov child and 32 for its header:
    // the walk never reads more than the data holds plus that small overhead.
    if (source.bytesRead() > qint64(64 * 16) + qint64(size) + 64 * 32)
        std::abort();
    return 0;
}
