#pragma once

#include "core/naming/Surface.h"
#include "core/precheck/FrameSize.h"
#include "core/precheck/MediaInfo.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <map>
#include <optional>
#include <set>

namespace tessera {

// The form the show's playback system expects every reel movie in.
namespace ExportRules {

// Full frame size per surface. A surface missing from a table is not held to any size.
using SizeTable = std::map<Surface, FrameSize>;

inline constexpr double fps = 30.0;
inline constexpr double fpsTolerance = 0.01;
inline constexpr double lengthTolerance = 0.05; // seconds

inline constexpr QStringView proxyMessage =
    u"Proxies aren't accepted. Submit full-resolution files only.";
inline constexpr QStringView unfinishedMessage =
    u"Isn't a finished QuickTime movie: it is still exporting or was cut short. Export it again.";
// For a movie whose boxes are damaged: waiting for the export will not help, exporting again will.
inline constexpr QStringView damagedMessage =
    u"Is a damaged QuickTime movie: part of it can't be read. Export it again.";
// For a file that is some other kind of file altogether (text, a raw video stream, a media
// segment): exporting again as a movie is the way out.
inline constexpr QStringView notAMovieMessage =
    u"Isn't a QuickTime movie at all. Export it again as a QuickTime movie (.mov).";

const SizeTable &fullSizes();
// Display names of four-character codec codes ("apcs" -> "ProRes 422 LT").
const QHash<QString, QString> &codecNames();

// "ap4h" for the surtitles, "apcs" for every other surface.
QString codec(Surface surface);
// The display name; an unknown code as itself; the empty code as "an unknown codec".
QString codecName(const QString &code);
// True when the file name says proxy (proxy2, proxy_4, …).
bool isProxyName(const QString &name);
// full ÷ over, each side taken to the pixel below and above: one to four sizes.
std::set<FrameSize> sizes(FrameSize full, int over);
bool isProxySize(FrameSize size, Surface surface, const SizeTable &sizes);
// 30, 25, 29.97.
QString fpsText(double fps);

// The problems of one complete movie, in the order the editor should fix them.
QStringList problems(Surface surface, const MediaInfo &info, const SizeTable &sizes);
// Index -> sentence for every present duration that strays from the median by more than
// lengthTolerance. Fewer than two durations give nothing.
QMap<qsizetype, QString> lengthProblems(const QList<std::optional<double>> &durations);

} // namespace ExportRules
} // namespace tessera
