#pragma once

#include <QHashFunctions>
#include <QString>

namespace tessera {

// One entry of the reel check service's reel list. `name` holds the reel key, e.g. 00_TST_Reel1.
struct Reel
{
    QString id;
    QString name;

    friend bool operator==(const Reel &, const Reel &) = default;
};

inline size_t qHash(const Reel &reel, size_t seed = 0)
{
    return qHashMulti(seed, reel.id, reel.name);
}

} // namespace tessera
