#pragma once

#include <QString>
#include <QStringList>

namespace tessera {

// What the export rules look at in one movie. Width, height, codec and fps describe the first
// video track; without one they are 0, empty and 0.
struct MediaInfo
{
    int width = 0;
    int height = 0;
    QString codec; // four-character code, e.g. "apcs"
    double fps = 0;
    int videoTracks = 0;
    // One entry per non-video track in track order: "audio", "text", "timecode", or the
    // track's four-character handler type (e.g. "meta").
    QStringList otherTracks;

    friend bool operator==(const MediaInfo &, const MediaInfo &) = default;
};

} // namespace tessera
