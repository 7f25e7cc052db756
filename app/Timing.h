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
};

} // namespace tessera
