#pragma once

#include "core/naming/Surface.h"
#include "core/precheck/ByteSource.h"
#include "core/precheck/ExportRules.h"
#include "core/precheck/MediaInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessera {

// Judges dropped movies against the export rules before anything is copied.
namespace PreCheck {

// What reading one movie gave.
struct Reading
{
    enum class Kind { movie, unreadable, unfinished, damaged, notAMovie };

    Kind kind = Kind::unfinished;
    MediaInfo info;      // movie only
    double duration = 0; // movie only, seconds
    QString detail;      // unreadable only: why the movie could not be read

    static Reading movie(const MediaInfo &info, double duration);
    static Reading unreadable(const QString &detail);
    static Reading unfinished();
    static Reading damaged();
    static Reading notAMovie();

    // Over the kind and that kind's payload only.
    friend bool operator==(const Reading &a, const Reading &b);
};

// One dropped movie as the pre-check sees it.
struct File
{
    QString name; // the bare file name as dropped
    std::optional<Surface> surface;
    std::optional<Reading> reading; // absent while the file is still being read

    friend bool operator==(const File &, const File &) = default;
};

// Blocking and self-contained (no event loop needed): the atom chain first, and only a finished
// movie is probed; one whose media is missing is unfinished too, and so is one followed by stray
// bytes unless its samples are known to be all in the file. Never fails.
Reading read(const QString &path);
Reading read(ByteSource &source);

// One problem list per file, in the order of files; durations are compared across all files.
QList<QStringList> problems(const QList<File> &files, const ExportRules::SizeTable &sizes);

} // namespace PreCheck
} // namespace tessera
