#pragma once

#include "core/naming/Reel.h"
#include "core/reelcheck/HTTPTransport.h"
#include "core/reelcheck/SlackUser.h"

namespace tessera {

// The reel check service as demo mode plays it, answered on the spot from a fixed cast: its
// Slack users, its reels, a healthy service, and every help request taken.
class DemoService final : public HTTPTransport
{
public:
    static QList<SlackUser> users();
    static QList<Reel> reels();

    QCoro::Task<TransportOutcome> send(HTTPRequest request) override;
};

} // namespace tessera
