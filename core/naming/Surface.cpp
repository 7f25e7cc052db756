#include "core/naming/Surface.h"

namespace tessera {

QString rawValue(Surface surface)
{
    switch (surface) {
    case Surface::awall:
        return QStringLiteral("awall");
    case Surface::bwall:
        return QStringLiteral("bwall");
    case Surface::cwall:
        return QStringLiteral("cwall");
    case Surface::dwall:
        return QStringLiteral("dwall");
    case Surface::floor:
        return QStringLiteral("floor");
    case Surface::surtitles:
        return QStringLiteral("surtitles");
    }
    Q_UNREACHABLE();
}

QString label(Surface surface)
{
    switch (surface) {
    case Surface::awall:
        return QStringLiteral("A wall");
    case Surface::bwall:
        return QStringLiteral("B wall");
    case Surface::cwall:
        return QStringLiteral("C wall");
    case Surface::dwall:
        return QStringLiteral("D wall");
    case Surface::floor:
        return QStringLiteral("Floor");
    case Surface::surtitles:
        return QStringLiteral("Surtitles");
    }
    Q_UNREACHABLE();
}

std::optional<Surface> surfaceFromRawValue(QStringView raw)
{
    for (Surface surface : allSurfaces) {
        if (raw == rawValue(surface))
            return surface;
    }
    return std::nullopt;
}

} // namespace tessera
