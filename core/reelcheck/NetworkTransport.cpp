#include "core/reelcheck/NetworkTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <qcoro/qcoronetworkreply.h>

#include <cmath>

namespace tessera {

namespace {

// A transfer time-out and abort() both end a reply with OperationCanceledError; this mark on the
// reply tells them apart.
constexpr char abortedMark[] = "tesseraAborted";
// Set once the request has been written out: only then may it have reached the service.
constexpr char sentMark[] = "tesseraSent";

TransportError::Code codeFor(QNetworkReply::NetworkError error, bool aborted)
{
    using E = QNetworkReply::NetworkError;
    using C = TransportError::Code;
    switch (error) {
    case E::ConnectionRefusedError:
        return C::cannotConnectToHost;
    case E::HostNotFoundError:
        return C::cannotFindHost;
    case E::ProtocolUnknownError:
        return C::unsupportedURL;
    case E::OperationCanceledError:
        return aborted ? C::cancelled : C::timedOut;
    case E::TimeoutError:
        return C::timedOut;
    case E::RemoteHostClosedError:
        return C::networkConnectionLost;
    default:
        return C::other;
    }
}

// Errors that QNetworkAccessManager raises for an HTTP status; the reply itself is complete.
bool isStatusError(QNetworkReply::NetworkError error)
{
    const int code = static_cast<int>(error);
    return error == QNetworkReply::NoError || (code >= 201 && code <= 299) ||
           (code >= 401 && code <= 499) || error == QNetworkReply::ProtocolInvalidOperationError;
}

} // namespace

NetworkTransport::NetworkTransport()
    : m_manager(std::make_unique<QNetworkAccessManager>())
{}

NetworkTransport::~NetworkTransport()
{
    abortAll();
}

void NetworkTransport::abortAll()
{
    const auto replies = m_manager->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        if (!reply->isFinished()) {
            reply->setProperty(abortedMark, true);
            reply->abort();
        }
    }
}

QCoro::Task<TransportOutcome> NetworkTransport::send(HTTPRequest request)
{
    const QUrl &url = request.url;
    if (!url.isValid() || url.host().isEmpty())
        co_return TransportError{TransportError::Code::badURL,
                                 QStringLiteral("The address is not a valid URL.")};
    const QString scheme = url.scheme();
    if (scheme != u"http" && scheme != u"https")
        co_return TransportError{TransportError::Code::unsupportedURL,
                                 QStringLiteral("The address is not an http address.")};

    QNetworkRequest networkRequest(url);
    for (const auto &[name, value] : std::as_const(request.headers))
        networkRequest.setRawHeader(name, value);
    // The transfer timer restarts with every piece of data, so only silence ends the request.
    networkRequest.setTransferTimeout(
        std::max(1, static_cast<int>(std::lround(request.timeout * 1000.0))));

    QNetworkReply *reply = nullptr;
    if (request.method == "GET" && !request.body)
        reply = m_manager->get(networkRequest);
    else if (request.method == "POST")
        reply = m_manager->post(networkRequest, request.body.value_or(QByteArray()));
    else
        reply = m_manager->sendCustomRequest(networkRequest, request.method,
                                             request.body.value_or(QByteArray()));

    QObject::connect(reply, &QNetworkReply::requestSent, reply,
                     [reply] { reply->setProperty(sentMark, true); });

    // Nothing of this transport is touched after the wait: abortAll() may resume it from the
    // destructor.
    co_await reply;
    reply->deleteLater();

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && isStatusError(error))
        co_return HTTPReply{status.toInt(), reply->readAll()};
    if (error == QNetworkReply::NoError)
        co_return APIError::badResponse();
    TransportError failure{codeFor(error, reply->property(abortedMark).toBool()),
                           reply->errorString()};
    // No route, network down, or a connect that timed out: whatever ended it, a request that
    // never left cannot have arrived, so repeating it can wait for the editor.
    if (!reply->property(sentMark).toBool() && !failure.certainlyNeverSent())
        failure.code = TransportError::Code::cannotConnectToHost;
    co_return failure;
}

} // namespace tessera
