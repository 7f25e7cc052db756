#include "core/reelcheck/NetworkTransport.h"

#include "core/reelcheck/ReelCheckAPI.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace tessera;

namespace {

QUrl loopback(quint16 port)
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

// A loopback listener that reads one HTTP request per connection and then answers, stays silent
// or hangs up, as told.
class RawServer : public QObject
{
public:
    enum class Mode { answer, silent, closeAfterRequest };

    Mode mode = Mode::answer;
    QByteArray answer;
    QList<QByteArray> requests; // one entry per complete request

    RawServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on loopback");
    }

    QUrl base() const { return loopback(m_server.serverPort()); }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                m_buffers[socket] += socket->readAll();
                handle(socket);
            });
        }
    }

    void handle(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray &line : buffer.left(headerEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        requests.append(buffer.left(headerEnd + 4 + length));
        buffer.remove(0, headerEnd + 4 + length);
        switch (mode) {
        case Mode::answer:
            socket->write(answer);
            socket->disconnectFromHost();
            break;
        case Mode::silent:
            break;
        case Mode::closeAfterRequest:
            socket->abort();
            break;
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

QByteArray httpAnswer(int status, const QByteArray &body)
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Whatever\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// A port nobody listens on: just freed by a listener of our own.
QUrl refusingBase()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return loopback(probe.serverPort());
}

// A listener that never accepts, its one-place queue taken: the kernel drops every further
// connection attempt, so a connect hangs as it does towards a host that is switched off.
class FullQueue
{
public:
    FullQueue()
    {
        m_server.setListenBacklogSize(0);
        m_server.setMaxPendingConnections(0);
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on loopback");
        m_filler.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        if (!m_filler.waitForConnected(2000))
            qFatal("cannot fill the queue");
    }

    QUrl base() const { return loopback(m_server.serverPort()); }

private:
    QTcpServer m_server;
    QTcpSocket m_filler;
};

} // namespace

class NetworkTransportTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<NetworkTransport> transport;

    ReelCheckAPI client(const QUrl &base, double timeout = 5.0)
    {
        return ReelCheckAPI{base, transport, timeout, QStringLiteral("k3y-for-tests")};
    }

private Q_SLOTS:
    void init() { transport = std::make_shared<NetworkTransport>(); }

    void requestsGoOutWithTheirHeadersAndBody()
    {
        RawServer server;
        server.answer = httpAnswer(201, R"({"id":"s1","number":4})");
        SubmissionRequest request;
        request.reelID = QStringLiteral("r1");
        request.key = QStringLiteral("KEY-1");
        const auto created = QCoro::waitFor(client(server.base()).submit(request));
        QCOMPARE(created.value(), SubmissionCreated({QStringLiteral("s1"), 4}));
        QCOMPARE(server.requests.size(), 1);
        const QByteArray wire = server.requests.at(0);
        QVERIFY2(wire.startsWith("POST /api/submissions HTTP/1.1\r\n"), wire.constData());
        const qsizetype marker = wire.indexOf("\r\nX-Tessera: 1\r\n");
        const qsizetype key = wire.indexOf("\r\nX-Tessera-Key: k3y-for-tests\r\n");
        const qsizetype accept = wire.indexOf("\r\nAccept: application/json\r\n");
        QVERIFY(marker >= 0 && key > marker && accept > key);
        QVERIFY(wire.contains("\r\nContent-Type: application/json\r\n"));
        QVERIFY(wire.endsWith(Wire::write(request)));
    }

    void errorStatusesArriveAsRepliesWithTheirBodies()
    {
        // The network stack treats several of these specially (401 asks for credentials).
        for (int status : {400, 401, 403, 404, 409, 429, 500, 502, 503}) {
            RawServer server;
            const QByteArray body = "{\"error\":\"Status " + QByteArray::number(status) + "\"}";
            server.answer = httpAnswer(status, body);
            const TransportOutcome outcome =
                QCoro::waitFor(transport->send(HTTPRequest{"GET", server.base(), {}, {}, 5.0}));
            QVERIFY2(outcome == TransportOutcome(HTTPReply{status, body}), body.constData());
        }
    }

    // Refused, no route (no TCP reaches a multicast address), a connect that times out, or a bad
    // address: it certainly never arrived. A silence or a hang-up after the request: it may have.
    // Neither the detail nor the sentence ever shows the access key.
    void failuresSplitByWhetherTheRequestMayHaveArrived()
    {
        RawServer silent;
        silent.mode = RawServer::Mode::silent;
        RawServer closing;
        closing.mode = RawServer::Mode::closeAfterRequest;
        FullQueue full;
        for (const auto &[base, mayHaveArrived] :
             QList<std::pair<QUrl, bool>>{{refusingBase(), false},
                                          {QUrl(QStringLiteral("http://224.0.0.1:8790")), false},
                                          {full.base(), false},
                                          {QUrl(QStringLiteral("http://")), false},
                                          {QUrl(QStringLiteral("ftp://127.0.0.1:1/")), false},
                                          {QUrl(QStringLiteral("127.0.0.1:8790")), false},
                                          {silent.base(), true},
                                          {closing.base(), true}}) {
            const APIError error =
                QCoro::waitFor(client(base, 0.3).submit(SubmissionRequest{})).error();
            const auto *unclear = error.as<APIError::Uncertain>();
            const auto *unreachable = error.as<APIError::Unreachable>();
            QVERIFY2(mayHaveArrived ? bool(unclear) : bool(unreachable),
                     qPrintable(base.toString() + u' ' + error.description()));
            const QString detail = unclear ? unclear->detail : unreachable->detail;
            QVERIFY(!detail.contains(QStringLiteral("k3y")));
            QVERIFY(!error.description().contains(QStringLiteral("k3y")));
        }

        // Qt's HTTP stack itself sends the request once more on a fresh connection when the
        // first closes before any answer; the submission key keeps that harmless.
        QVERIFY(closing.requests.size() >= 1);

        // Nothing to repeat for a submission that never left: one attempt, one time-out.
        int repeats = 0;
        const auto once =
            QCoro::waitFor(client(full.base(), 0.3)
                               .submitSafely(SubmissionRequest{}, 4, std::chrono::milliseconds(0),
                                             [&] { ++repeats; }));
        QVERIFY(once.error().is<APIError::Unreachable>());
        QCOMPARE(repeats, 0);
    }

    void abortingEndsTheCallAsCancelled()
    {
        RawServer server;
        server.mode = RawServer::Mode::silent;
        QTimer::singleShot(100, [this] { transport->abortAll(); });
        const auto result = QCoro::waitFor(client(server.base(), 10.0).health());
        QVERIFY(result.error().is<APIError::Unreachable>());
    }
};

QTEST_GUILESS_MAIN(NetworkTransportTest)
#include "NetworkTransportTest.moc"
