#pragma once

#include <QHashFunctions>
#include <QString>

#include <compare>

namespace tessera {

// A picture size in whole pixels. Ordered by width, then height.
struct FrameSize
{
    int width = 0;
    int height = 0;

    // "7972×3424".
    QString text() const;

    friend bool operator==(const FrameSize &, const FrameSize &) = default;
    friend auto operator<=>(const FrameSize &, const FrameSize &) = default;
};

inline size_t qHash(const FrameSize &size, size_t seed = 0)
{
    return qHashMulti(seed, size.width, size.height);
}

} // namespace tessera
