#pragma once

#include "core/precheck/Boxes.h"

#include <QHash>
#include <QList>

// The timing of a fragmented movie's samples that live in fragments (moof/traf/tfhd/tfdt/trun)
// after its movie box.
namespace tessera::MovieFragments {

// What the fragments read hold of one track, in the track's time scale.
struct Timing
{
    quint64 samples = 0;
    quint64 time = 0; // the samples' durations added up
    quint64 end = 0;  // where the last of them ends on the track's time line
};

// What the movie box tells about one track's fragments.
struct Track
{
    quint32 defaultDuration = 0; // of a sample, from the track's trex
    quint64 start = 0;           // the time its samples inside the movie box take
};

// Reads the trafs of the fragments at the given offsets, for the tracks named; other tracks are
// passed over. A fragment whose decode time (tfdt) is missing starts where the one before it of
// the same track ended. Each fragment may hold a few hundred boxes, and its reads are a few box
// headers and the first bytes of tfhd, tfdt and trun: about 200 bytes a fragment, so the bytes
// read grow linearly with the number of fragments and not with their size, besides 4 to 16 bytes
// a sample for runs that list each sample's duration. Those count against samplesLeft, so a
// hostile table is never read through.
Boxes::Outcome<QHash<quint32, Timing>> read(ByteSource &source, qint64 &samplesLeft,
                                            const QList<qint64> &fragments, qint64 fileSize,
                                            const QHash<quint32, Track> &tracks);

} // namespace tessera::MovieFragments
