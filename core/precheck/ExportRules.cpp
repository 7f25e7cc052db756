#include "core/precheck/ExportRules.h"

#include "core/naming/SurfaceMatcher.h"

#include <algorithm>
#include <cmath>

namespace tessera::ExportRules {

namespace {

// Durations come from whole time-scale units, so a difference meant to be exactly the tolerance
// can land a hair above it in floating point; that hair must not fail a movie.
constexpr double lengthSlack = 1e-9;

} // namespace

const SizeTable &fullSizes()
{
    static const SizeTable table{
        {Surface::awall, {7972, 3424}}, {Surface::bwall, {5612, 3424}},
        {Surface::cwall, {7972, 3424}}, {Surface::dwall, {5612, 3424}},
        {Surface::floor, {4636, 3264}}, {Surface::surtitles, {5612, 304}},
    };
    return table;
}

const QHash<QString, QString> &codecNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("apcs"), QStringLiteral("ProRes 422 LT")},
        {QStringLiteral("ap4h"), QStringLiteral("ProRes 4444")},
        {QStringLiteral("apcn"), QStringLiteral("ProRes 422")},
        {QStringLiteral("apco"), QStringLiteral("ProRes 422 Proxy")},
        {QStringLiteral("apch"), QStringLiteral("ProRes 422 HQ")},
        {QStringLiteral("ap4x"), QStringLiteral("ProRes 4444 XQ")},
        {QStringLiteral("avc1"), QStringLiteral("H.264")},
        {QStringLiteral("hvc1"), QStringLiteral("HEVC")},
        {QStringLiteral("hev1"), QStringLiteral("HEVC")},
    };
    return names;
}

QString codec(Surface surface)
{
    return surface == Surface::surtitles ? QStringLiteral("ap4h") : QStringLiteral("apcs");
}

QString codecName(const QString &code)
{
    if (code.isEmpty())
        return QStringLiteral("an unknown codec");
    return codecNames().value(code, code);
}

bool isProxyName(const QString &name)
{
    return SurfaceMatcher::proxy(name) != Proxy::full;
}

std::set<FrameSize> sizes(FrameSize full, int over)
{
    const double width = double(full.width) / over;
    const double height = double(full.height) / over;
    std::set<FrameSize> result;
    for (double w : {std::floor(width), std::ceil(width)}) {
        for (double h : {std::floor(height), std::ceil(height)})
            result.insert(FrameSize{int(w), int(h)});
    }
    return result;
}

bool isProxySize(FrameSize size, Surface surface, const SizeTable &sizes)
{
    const auto entry = sizes.find(surface);
    if (entry == sizes.end())
        return false;
    for (int over : {2, 4, 8}) {
        if (ExportRules::sizes(entry->second, over).contains(size))
            return true;
    }
    return false;
}

QString fpsText(double fps)
{
    if (std::isfinite(fps) && fps == std::floor(fps))
        return QString::number(fps, 'f', 0);
    return QString::asprintf("%.2f", fps);
}

QStringList problems(Surface surface, const MediaInfo &info, const SizeTable &sizes)
{
    const FrameSize size{info.width, info.height};
    if (isProxySize(size, surface, sizes))
        return {proxyMessage.toString()};

    QStringList found;
    const QString required = codec(surface);
    if (info.codec != required) {
        found.append(
            QStringLiteral("Is %1, should be %2.").arg(codecName(info.codec), codecName(required)));
    }
    if (const auto entry = sizes.find(surface); entry != sizes.end() && entry->second != size) {
        found.append(QStringLiteral("Is %1, should be %2 for the %3.")
                         .arg(size.text(), entry->second.text(), label(surface)));
    }
    if (std::abs(info.fps - fps) > fpsTolerance) {
        found.append(QStringLiteral("Runs at %1 fps, should be %2 fps.")
                         .arg(fpsText(info.fps), fpsText(fps)));
    }
    if (info.videoTracks > 1)
        found.append(QStringLiteral("Has more than one video track, should have one."));
    if (info.otherTracks.contains(QStringLiteral("audio")))
        found.append(QStringLiteral("Has an audio track, should have none."));
    if (info.otherTracks.contains(QStringLiteral("text")))
        found.append(QStringLiteral("Has a text track, should have none."));

    QStringList extra;
    for (const QString &kind : info.otherTracks) {
        if (kind != u"audio" && kind != u"text" && kind != u"timecode" && !extra.contains(kind))
            extra.append(kind);
    }
    std::sort(extra.begin(), extra.end());
    for (const QString &kind : extra)
        found.append(QStringLiteral("Has an extra %1 track, should have video only.").arg(kind));
    return found;
}

QMap<qsizetype, QString> lengthProblems(const QList<std::optional<double>> &durations)
{
    QList<double> present;
    for (const std::optional<double> &duration : durations) {
        if (duration)
            present.append(*duration);
    }
    QMap<qsizetype, QString> result;
    if (present.size() < 2)
        return result;
    std::sort(present.begin(), present.end());
    const qsizetype middle = present.size() / 2;
    const double median =
        present.size() % 2 == 1 ? present[middle] : (present[middle - 1] + present[middle]) / 2;
    for (qsizetype index = 0; index < durations.size(); ++index) {
        const std::optional<double> &duration = durations[index];
        if (duration && std::abs(*duration - median) > lengthTolerance + lengthSlack) {
            result.insert(index, QString::asprintf("Runs %.2f s, the rest of the reel runs %.2f s.",
                                                   *duration, median));
        }
    }
    return result;
}

} // namespace tessera::ExportRules
