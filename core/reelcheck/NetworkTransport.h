#pragma once

#include "core/reelcheck/HTTPTransport.h"

#include <memory>

class QNetworkAccessManager;

namespace tessera {

// The default transport, over QNetworkAccessManager. Use it on the thread that made it.
class NetworkTransport final : public HTTPTransport
{
public:
    NetworkTransport();
    ~NetworkTransport() override;

    QCoro::Task<TransportOutcome> send(HTTPRequest request) override;

    void abortAll() override;

private:
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

} // namespace tessera
