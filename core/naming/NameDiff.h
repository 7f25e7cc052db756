#pragma once

#include <QList>
#include <QString>

namespace tessera {

// Shows how a file's new name differs from its old one, in runs of whole tokens.
namespace NameDiff {

struct Segment
{
    QString text;
    bool changed = false;

    friend bool operator==(const Segment &, const Segment &) = default;
};

// Every "_" and "." is a token of its own; so is each run of other characters.
QList<QString> tokens(const QString &name);
// The new name as runs; their texts concatenate to the new name exactly.
QList<Segment> segments(const QString &oldName, const QString &newName);

} // namespace NameDiff
} // namespace tessera
