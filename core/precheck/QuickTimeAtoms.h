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
        // A complete movie box with a readable movie header, and a chain that ends at the end of
        // the file or, without fragments, breaks off only after the movie box.
        movie,
        // Still being written, or cut short: no complete movie box yet, or the chain of a
        // fragmented movie breaks off.
        unfinished,
        // The movie box is all there but its header can't be read, or a box has a size no box
        // can have: damaged rather than unfinished, and waiting will not help.
        damaged,
        // Not a QuickTime movie at all: another kind of file, or media fragments without the
        // movie they belong to.
        notAMovie,
    };

    Shape shape = Shape::unfinished;
    double duration = 0; // movie only: the movie header's, in seconds
    // movie only: the movie box holds mvex, so its media goes on in fragments (moof) after it.
    bool fragmented = false;
    // The fragments, in file order, whose timing ends a fragmented movie: the last ones, found
    // through the movie's fragment index (mfra), or all of them when it has no index.
    QList<qint64> fragments;
    // movie only: bytes that are no box follow the last box. The movie is finished only when its
    // samples all lie in the file, which the probe tells.
    bool strayBytes = false;

    friend bool operator==(const Outline &, const Outline &) = default;
};

// A file is a complete movie when its chain of at most 64 top-level atoms ends exactly at the end
// of the file, or breaks off after a complete movie box (stray bytes), or, fragmented, when its
// index at the end leads to fragments whose chain ends exactly at the index, or, without an
// index, when the chain of all its fragments ends at the end of the file. Reads a few hundred
// bytes of a real movie, never more than 16 KiB of any file besides 16 bytes per top-level atom
// of a fragmented movie (two a fragment), whatever its size.
Outline outline(ByteSource &source);

} // namespace QuickTimeAtoms
} // namespace tessera
