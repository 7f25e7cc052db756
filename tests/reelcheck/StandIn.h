#pragma once

// The reel check service stand-in as tests run it, and a relay that loses answers.

#include "core/reelcheck/NetworkTransport.h"

#include <QByteArray>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <memory>
#include <optional>

namespace tessera::testing {

// The stand-in on a free loopback port; everything it prints is kept.
class StandIn
{
public:
    StandIn(const QString &dropFolder, const QString &accessKey,
            const QString &listen = QStringLiteral("127.0.0.1:0"), const QStringList &extra = {})
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(TESSERA_REELCHECK_SERVICE),
                        QStringList{QStringLiteral("--listen"), listen, QStringLiteral("--key"),
                                    accessKey, QStringLiteral("--drop"), dropFolder}
                            << extra);
        static const QRegularExpression listening(
            QStringLiteral(R"(Listening on (http://127\.0\.0\.1:\d+))"));
        while (m_process.waitForReadyRead(10000)) {
            const auto match = listening.match(QString::fromUtf8(output()));
            if (match.hasMatch()) {
                m_base = QUrl(match.captured(1));
                return;
            }
        }
    }
    ~StandIn() { stop(); }

    // The service goes away: every connection is refused from now on.
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QUrl base() const { return m_base; }

    // A request to /api/submissions straight to the stand-in, past the client.
    HTTPReply send(const QByteArray &method, const QByteArray &accessKey,
                   std::optional<QByteArray> body = {}) const
    {
        NetworkTransport transport;
        const TransportOutcome outcome = QCoro::waitFor(
            transport.send({method,
                            m_base.resolved(QUrl(QStringLiteral("/api/submissions"))),
                            {{"X-Tessera-Key", accessKey}, {"Content-Type", "application/json"}},
                            std::move(body)}));
        const auto *reply = std::get_if<HTTPReply>(&outcome);
        return reply ? *reply : HTTPReply{};
    }
    // The submissions the stand-in holds, as GET /api/submissions lists them.
    QJsonArray submissions(const QByteArray &accessKey) const
    {
        return QJsonDocument::fromJson(send("GET", accessKey).body)
            .object()
            .value(QStringLiteral("submissions"))
            .toArray();
    }
    QByteArray output() { return m_output += m_process.readAll(); }

private:
    QProcess m_process;
    QByteArray m_output;
    QUrl m_base;
};

// Passes connections through to the stand-in, except that for the first `swallow` submissions
// (POST /api/submissions) the request reaches the stand-in but its answer never comes back: the
// client can't know it arrived.
class LossyRelay : public QObject
{
public:
    LossyRelay(quint16 targetPort, int swallow)
        : m_targetPort(targetPort)
        , m_toSwallow(swallow)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QUrl base() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
    }

private:
    void accept()
    {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            client->setParent(this);
            auto *upstream = new QTcpSocket(this);
            auto swallow = std::make_shared<std::optional<bool>>();
            upstream->connectToHost(QHostAddress::LocalHost, m_targetPort);
            const auto forward = [this, client, upstream, swallow] {
                if (upstream->state() != QAbstractSocket::ConnectedState)
                    return;
                const QByteArray request = client->readAll();
                if (request.startsWith("POST /api/submissions") && m_toSwallow > 0) {
                    --m_toSwallow;
                    *swallow = true; // this answer, and the connection's after it
                }
                upstream->write(request);
            };
            connect(client, &QTcpSocket::readyRead, upstream, forward);
            connect(upstream, &QTcpSocket::connected, upstream, forward);
            connect(upstream, &QTcpSocket::readyRead, client, [client, upstream, swallow] {
                const QByteArray answer = upstream->readAll();
                if (!swallow->value_or(false))
                    client->write(answer);
            });
        }
    }

    QTcpServer m_server;
    quint16 m_targetPort;
    int m_toSwallow;
};

} // namespace tessera::testing
