#pragma once

#include "core/reelcheck/APIError.h"

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <optional>
#include <utility>
#include <variant>

namespace tessera {

struct HTTPRequest
{
    QByteArray method;
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers; // in sending order
    std::optional<QByteArray> body;
    double timeout = 10.0; // seconds without any data before the request ends as timed out

    friend bool operator==(const HTTPRequest &, const HTTPRequest &) = default;
};

// A complete HTTP answer, whatever its status code.
struct HTTPReply
{
    int statusCode = 0;
    QByteArray body;

    friend bool operator==(const HTTPReply &, const HTTPReply &) = default;
};

// Why no complete answer arrived. Whether the request may have reached the service is what makes a
// retry safe or not, so transports must keep the never-sent codes apart from the rest.
struct TransportError
{
    enum class Code {
        // Certainly never reached the service.
        cannotConnectToHost,
        cannotFindHost,
        dnsLookupFailed,
        notConnectedToInternet,
        badURL,
        unsupportedURL,
        secureConnectionRequired,
        cancelled,
        // May have reached it.
        timedOut,
        networkConnectionLost,
        other,
    };

    Code code = Code::other;
    QString description;

    bool certainlyNeverSent() const { return code <= Code::cancelled; }

    friend bool operator==(const TransportError &, const TransportError &) = default;
};

// An APIError is for transports that judge the answer themselves (one that is not HTTP at all).
using TransportOutcome = std::variant<HTTPReply, TransportError, APIError>;

// Performs one HTTP exchange. Exchangeable so that tests and demo mode can answer in its place.
class HTTPTransport
{
public:
    virtual ~HTTPTransport() = default;
    virtual QCoro::Task<TransportOutcome> send(HTTPRequest request) = 0;
    // Ends every outstanding request (each caller gets `cancelled`), for a task that is abandoned.
    virtual void abortAll() {}
};

} // namespace tessera
