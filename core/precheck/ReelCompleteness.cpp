#include "core/precheck/ReelCompleteness.h"

#include <QStringList>

namespace tessera::ReelCompleteness {

QString shortName(Surface surface)
{
    switch (surface) {
    case Surface::awall:
        return QStringLiteral("A");
    case Surface::bwall:
        return QStringLiteral("B");
    case Surface::cwall:
        return QStringLiteral("C");
    case Surface::dwall:
        return QStringLiteral("D");
    case Surface::floor:
        return QStringLiteral("Floor");
    case Surface::surtitles:
        return QStringLiteral("Surtitles");
    }
    Q_UNREACHABLE();
}

std::optional<QString> warning(int movCount, const QList<Surface> &surfaces)
{
    if (movCount > 5)
        return std::nullopt;
    QString note = QStringLiteral("You dropped ") + QString::number(movCount) +
                   (movCount == 1 ? QStringLiteral(" file") : QStringLiteral(" files")) +
                   QStringLiteral(". Most reels have 6 (A, B, C, D, Floor, Surtitles).");
    QStringList missing;
    for (Surface surface : allSurfaces) {
        if (!surfaces.contains(surface))
            missing.append(shortName(surface));
    }
    if (!missing.isEmpty())
        note += QStringLiteral(" Missing: ") + missing.join(QStringLiteral(", ")) + u'.';
    return note;
}

} // namespace tessera::ReelCompleteness
