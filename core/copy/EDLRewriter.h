#pragma once

#include "core/naming/Slot.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tessera {

// Points an EDL's clip names at the movies' NAS names, changing no other byte.
namespace EDLRewriter {

// One dropped movie.
struct File
{
    QString originalName; // as dropped
    QString finalName;    // on the NAS
    Slot slot;

    friend bool operator==(const File &, const File &) = default;
};

struct Result
{
    QByteArray data;
    qint64 changed = 0; // lines whose clip name was replaced, transitions' "TO" lines included
    // originalNames the EDL uses for more than one clip, in the order of the files, once each. A
    // transition's FROM line naming the clip of the event before again is no second clip.
    QList<QString> ambiguous;

    friend bool operator==(const Result &, const Result &) = default;
};

// `reel` is the submission's reel key, e.g. 07_ABC_Reel3.
Result rewrite(const QByteArray &data, const QString &reel, const QList<File> &files);
QString ambiguousMessage(const QString &name);

} // namespace EDLRewriter
} // namespace tessera
