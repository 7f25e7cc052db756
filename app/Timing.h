#pragma once

#include <chrono>

namespace tessera {

// How long the model waits for things; tests shorten them.
struct Timing
{
    std::chrono::milliseconds probeTimeout{5000};
    std::chrono::milliseconds submitPause{3000};
    int submitRepeats = 4;
    std::chrono::milliseconds pollInterval{5000};
    double httpTimeout = 10.0; // seconds without an answer
    // No byte moved for this long: the transfer line says that the NAS isn't answering.
    std::chrono::milliseconds stallAfter{5000};
    // After the connection to the share broke: how often it is probed, and for how long the run
    // waits for it before it fails.
    std::chrono::milliseconds reconnectInterval{5000};
    std::chrono::milliseconds reconnectLimit{std::chrono::minutes(5)};
};

} // namespace tessera
