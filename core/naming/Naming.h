#pragma once

#include "core/naming/Slot.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace tessera {

// The parts of a reel file name such as 00_TST_Reel1_floor_proxy4_v2412051430.mov.
struct ParsedName
{
    QString chapterNumber; // two digits as written, a leading zero kept
    QString chapterCode;   // three capital letters
    qint64 reelNumber = 0;
    Surface surface = Surface::awall;
    Proxy proxy = Proxy::full;
    QString version; // ten digits

    QString reelKey() const;

    friend bool operator==(const ParsedName &, const ParsedName &) = default;
};

// The show's naming rules for files and folders on the NAS.
namespace Naming {

// The drop folder, relative to the root of the NAS share.
inline constexpr QStringView dropPath = u"Halcyon_Drop/Reels";

// Parses a bare reel file name; anything that is not exactly the grammar gives nothing.
std::optional<ParsedName> parse(const QString &name);

// The NAS file name of a movie. The reel key is trimmed; neither it nor the stamp is validated.
QString fileName(const QString &reel, const Slot &slot, const QString &stamp);
QString fileName(const QString &reel, Surface surface, Proxy proxy, const QString &stamp);

// "Halcyon_v" + stamp + ".edl".
QString edlName(const QString &stamp);
// The first six characters of the stamp (the whole text when shorter).
QString dayFolder(const QString &stamp);

bool isValidReelKey(const QString &key);
// Exactly ten ASCII digits.
bool isValidStamp(QStringView stamp);

} // namespace Naming
} // namespace tessera
