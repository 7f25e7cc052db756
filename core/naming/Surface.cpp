#include "core/naming/Surface.h"

namespace tessera {

namespace {

struct SurfaceNames
{
    const char16_t *raw;
    const char16_t *label;
};

// In declaration order of Surface.
constexpr SurfaceNames names[] = {
    {u"awall", u"A wall"}, {u"bwall", u"B wall"}, {u"cwall", u"C wall"},
    {u"dwall", u"D wall"}, {u"floor", u"Floor"},  {u"surtitles", u"Surtitles"},
};
static_assert(std::size(names) == allSurfaces.size());

const SurfaceNames &namesOf(Surface surface)
{
    return names[static_cast<size_t>(surface)];
}

} // namespace

QString rawValue(Surface surface)
{
    return QString::fromUtf16(namesOf(surface).raw);
}

QString label(Surface surface)
{
    return QString::fromUtf16(namesOf(surface).label);
}

std::optional<Surface> surfaceFromRawValue(QStringView raw)
{
    for (Surface surface : allSurfaces) {
        if (raw == QStringView(namesOf(surface).raw))
            return surface;
    }
    return std::nullopt;
}

} // namespace tessera
