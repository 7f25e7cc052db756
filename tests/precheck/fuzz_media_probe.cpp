// Feeds arbitrary bytes to the media probe and to the whole pre-check reading of one movie.

#include "core/precheck/MediaProbe.h"
#include "core/precheck/PreCheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    tessera::MemorySource source(bytes);
    const tessera::MediaProbe::Result result = tessera::MediaProbe::read(source);
    if (result.ok() == !result.failure.isEmpty())
        std::abort(); // a failure always says why, a success never carries a reason
    if (result.ok()) {
        const tessera::MediaInfo &info = *result.info;
        if (info.width < 0 || info.height < 0 || info.videoTracks < 0 || !(info.fps >= 0))
            std::abort();
        if (info.videoTracks == 0 && (info.width != 0 || !info.codec.isEmpty()))
            std::abort();
    }
    if (!(result.fragmentedDuration >= 0) || (!result.ok() && result.mediaMissing))
        std::abort();
    // Media known to be all in the file is neither missing nor claimed for a failed read.
    if (result.mediaInFile && (!result.ok() || result.mediaMissing))
        std::abort();

    tessera::MemorySource again(bytes);
    const tessera::PreCheck::Reading reading = tessera::PreCheck::read(again);
    if (reading.kind == tessera::PreCheck::Reading::Kind::unreadable && reading.detail.isEmpty())
        std::abort();
    if (reading.kind == tessera::PreCheck::Reading::Kind::movie && !(reading.duration >= 0))
        std::abort();
    return 0;
}
