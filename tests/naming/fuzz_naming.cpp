// Feeds arbitrary names to every name reader and checks the promises they make to each other.
#include "core/naming/NameDiff.h"
#include "core/naming/Naming.h"
#include "core/naming/ReelDetector.h"
#include "core/naming/ReelSearch.h"
#include "core/naming/SurfaceMatcher.h"
#include "core/naming/VersionStamp.h"

#include <cstdint>
#include <cstdlib>

using namespace tessera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype half = text.size() / 2;
    const QString first = text.left(half);
    const QString second = text.mid(half);

    if (const auto parsed = Naming::parse(text)) {
        const QString again =
            Naming::fileName(parsed->reelKey(), parsed->surface, parsed->proxy, parsed->version);
        if (parsed->reelNumber != 0 && again != text)
            std::abort();
    }
    if (const auto key = ReelDetector::reelKey(text); key && !Naming::isValidReelKey(*key))
        std::abort();
    SurfaceMatcher::surface(text);
    SurfaceMatcher::proxy(text);
    ReelSearch::matches(Reel{QString(), first}, second);
    if (const auto date = VersionStamp::date(text.left(10)); date && !date->isValid())
        std::abort();

    QString joined;
    for (const auto &segment : NameDiff::segments(first.left(200), second.left(200)))
        joined += segment.text;
    if (joined != second.left(200))
        std::abort();
    return 0;
}
