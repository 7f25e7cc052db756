#include "core/precheck/PreCheck.h"

#include "core/precheck/MediaProbe.h"
#include "core/precheck/QuickTimeAtoms.h"

#include <algorithm>

namespace tessera::PreCheck {

Reading Reading::movie(const MediaInfo &info, double duration)
{
    Reading reading;
    reading.kind = Kind::movie;
    reading.info = info;
    reading.duration = duration;
    return reading;
}

Reading Reading::unreadable(const QString &detail)
{
    Reading reading;
    reading.kind = Kind::unreadable;
    reading.detail = detail;
    return reading;
}

Reading Reading::unfinished()
{
    return Reading{};
}

Reading Reading::damaged()
{
    Reading reading;
    reading.kind = Kind::damaged;
    return reading;
}

Reading Reading::notAMovie()
{
    Reading reading;
    reading.kind = Kind::notAMovie;
    return reading;
}

bool operator==(const Reading &a, const Reading &b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case Reading::Kind::movie:
        return a.info == b.info && a.duration == b.duration;
    case Reading::Kind::unreadable:
        return a.detail == b.detail;
    case Reading::Kind::unfinished:
    case Reading::Kind::damaged:
    case Reading::Kind::notAMovie:
        return true;
    }
    return false;
}

Reading read(const QString &path)
{
    // One open for both readers; a file that cannot be opened has no atom chain, so it reads as
    // unfinished.
    FileSource source(path);
    return read(source);
}

Reading read(ByteSource &source)
{
    const QuickTimeAtoms::Outline outline = QuickTimeAtoms::outline(source);
    switch (outline.shape) {
    case QuickTimeAtoms::Outline::Shape::notAMovie:
        return Reading::notAMovie();
    case QuickTimeAtoms::Outline::Shape::unfinished:
        return Reading::unfinished();
    case QuickTimeAtoms::Outline::Shape::damaged:
        return Reading::damaged();
    case QuickTimeAtoms::Outline::Shape::movie:
        break;
    }
    const MediaProbe::Result probed = MediaProbe::read(source, outline.fragments);
    if (!probed.ok())
        return Reading::unreadable(probed.failure);
    if (probed.mediaMissing || (outline.strayBytes && !probed.mediaInFile))
        return Reading::unfinished();
    return Reading::movie(*probed.info, std::max(outline.duration, probed.fragmentedDuration));
}

QList<QStringList> problems(const QList<File> &files, const ExportRules::SizeTable &sizes)
{
    QList<QStringList> found(files.size());
    QList<std::optional<double>> durations(files.size());
    for (qsizetype index = 0; index < files.size(); ++index) {
        const File &file = files[index];
        if (ExportRules::isProxyName(file.name)) {
            found[index] = {ExportRules::proxyMessage.toString()};
            continue;
        }
        if (!file.reading)
            continue;
        const Reading &reading = *file.reading;
        switch (reading.kind) {
        case Reading::Kind::unfinished:
            found[index] = {ExportRules::unfinishedMessage.toString()};
            break;
        case Reading::Kind::damaged:
            found[index] = {ExportRules::damagedMessage.toString()};
            break;
        case Reading::Kind::notAMovie:
            found[index] = {ExportRules::notAMovieMessage.toString()};
            break;
        case Reading::Kind::unreadable:
            found[index] = {QStringLiteral("Couldn't be read as a movie (") + reading.detail +
                            QStringLiteral(").")};
            break;
        case Reading::Kind::movie:
            if (!file.surface)
                break;
            found[index] = ExportRules::problems(*file.surface, reading.info, sizes);
            // A proxy-sized movie is not a reel movie, so its length says nothing about the reel.
            if (found[index] != QStringList{ExportRules::proxyMessage.toString()})
                durations[index] = reading.duration;
            break;
        }
    }
    const QMap<qsizetype, QString> lengths = ExportRules::lengthProblems(durations);
    for (auto it = lengths.cbegin(); it != lengths.cend(); ++it)
        found[it.key()].append(it.value());
    return found;
}

} // namespace tessera::PreCheck
