#pragma once

#include "core/precheck/ByteSource.h"

#include <QList>

namespace tessera {

// The top-level atom chain of a QuickTime file.
namespace QuickTimeAtoms {

// What the chain says about the file.
struct Outline
{
    enum class Shape {
        // A complete chain with a readable movie header.
        movie,
        // Still being written, cut short, bytes appended, or its movie header unreadable.
        unfinished,
        // Not a QuickTime movie at all: another kind of file, or media fragments without the
        // movie they belong to.
        notAMovie,
    };

    Shape shape = Shape::unfinished;
    double duration = 0; // movie only: the movie header's, in seconds
    // movie only: the movie box holds mvex, so its media goes on in fragments (moof) after it.
    bool fragmented = false;
    // The fragments, in file order, whose timing ends a fragmented movie: all of them when the
    // chain is short, else the last ones, found through the movie's fragment index (mfra).
    QList<qint64> fragments;

    friend bool operator==(const Outline &, const Outline &) = default;
};

// A file is a complete movie when its chain of at most 64 top-level atoms ends exactly at the end
// of the file, or, fragmented, when its index at the end leads to fragments whose chain ends
// exactly at the index. Reads a few hundred bytes of a real movie, and never more than 16 KiB of
// any file, whatever its size.
Outline outline(ByteSource &source);

} // namespace QuickTimeAtoms
} // namespace tessera
