#include "core/reelcheck/ReelCheckAPI.h"

#include <QTest>

#include <deque>

using namespace tessera;

namespace {

// Answers from a script and keeps every request it was handed.
class ScriptedTransport : public HTTPTransport
{
public:
    std::deque<TransportOutcome> answers;
    QList<HTTPRequest> requests;

    void reply(int status, QByteArray body = {}) { answers.push_back(HTTPReply{status, body}); }
    void fail(TransportError::Code code)
    {
        answers.push_back(TransportError{code, QStringLiteral("detail of the failure")});
    }

    QCoro::Task<TransportOutcome> send(HTTPRequest request) override
    {
        requests.append(request);
        if (answers.empty())
            co_return TransportError{TransportError::Code::other, QStringLiteral("no script")};
        TransportOutcome next = answers.front();
        answers.pop_front();
        co_return next;
    }
};

SubmissionRequest sampleRequest()
{
    SubmissionRequest request;
    request.reelID = QStringLiteral("recReel1");
    request.version = QStringLiteral("2412051430");
    request.editor = QStringLiteral("Mira Lantz");
    request.files = {QStringLiteral("00_TST_Reel1_awall_v2412051430.mov")};
    request.key = QStringLiteral("5C3F8A7E-1111-4000-8000-00000000000A");
    return request;
}

using Headers = QList<std::pair<QByteArray, QByteArray>>;

} // namespace

class ReelCheckAPITest : public QObject
{
    Q_OBJECT

    std::shared_ptr<ScriptedTransport> transport;
    ReelCheckAPI api;

private Q_SLOTS:
    void init()
    {
        transport = std::make_shared<ScriptedTransport>();
        api = ReelCheckAPI{QUrl(QStringLiteral("http://vx9.test:8790")), transport, 10.0,
                           std::nullopt};
    }

    void requestsCarryTheirHeadersInOrder()
    {
        transport->reply(200, R"({"nas_ok":true,"airtable_ok":true})");
        QVERIFY(QCoro::waitFor(api.health()));
        const HTTPRequest get = transport->requests.at(0);
        QCOMPARE(get.method, QByteArray("GET"));
        QCOMPARE(get.url, QUrl(QStringLiteral("http://vx9.test:8790/api/health")));
        QCOMPARE(get.headers, Headers({{"X-Tessera", "1"}, {"Accept", "application/json"}}));
        QCOMPARE(get.body, std::nullopt);
        QCOMPARE(get.timeout, 10.0);

        api.timeout = 2.5;
        api.base = QUrl(QStringLiteral("http://vx9.test:8790/prefix/"));
        transport->reply(200, R"({"ok":true})");
        QVERIFY(QCoro::waitFor(api.help(HelpRequest{})));
        const HTTPRequest help = transport->requests.at(1);
        QCOMPARE(help.url.path(), QStringLiteral("/prefix/api/help"));
        QCOMPARE(help.timeout, 2.5);
    }

    void repliesBecomeResultsOrErrors()
    {
        struct Case
        {
            int status;
            QByteArray body;
            APIError error;
        };
        const QByteArray longText = QByteArray(150, 'x') + QByteArray(100, 'y');
        const Case cases[] = {
            {400, "plain words", APIError::rejected("plain words")},
            {403, {}, APIError::notAllowed()},
            {429, {}, APIError::rateLimited()},
            {502, R"({"error":"Airtable said no"})", APIError::airtable("Airtable said no")},
            {503, {}, APIError::notSetUp()},
            {500, longText, APIError::http(500, QString::fromLatin1(longText.left(200)))},
            {404, {}, APIError::http(404, QString())},
            {418, R"({"error":5})", APIError::http(418, R"({"error":5})")},
            {301, {}, APIError::http(301, QString())},
        };
        for (const Case &c : cases) {
            transport->reply(c.status, c.body);
            const auto result = QCoro::waitFor(api.reels());
            QVERIFY(!result);
            QVERIFY2(result.error() == c.error, qPrintable(QString::number(c.status)));
        }

        // "é" is two bytes; cutting at 200 splits the last one.
        const QByteArray cut = QByteArray(199, 'a') + "\xC3\xA9";
        QCOMPARE(ReelCheckAPI::replyMessage(cut), QString(199, u'a') + QChar(0xFFFD));
        QCOMPARE(ReelCheckAPI::replyMessage(QByteArray(199, 'a') + "\xF0\x9F\x98\x80"),
                 QString(199, u'a') + QChar(0xFFFD));
        QCOMPARE(ReelCheckAPI::replyMessage(QByteArray(196, 'a') + "\xF0\x9F\x98\x80"),
                 QString(196, u'a') + QStringLiteral("\U0001F600"));
        QCOMPARE(ReelCheckAPI::replyMessage("ok \xFF end"), QStringLiteral("ok \uFFFD end"));

        transport->reply(204, {});
        QCOMPARE(QCoro::waitFor(api.health()).error(), APIError::badResponse());
        transport->reply(200, R"({"id":"s1","number":"7"})");
        QCOMPARE(QCoro::waitFor(api.submit(sampleRequest())).error(), APIError::badResponse());
        transport->reply(200, R"({"ok":false})");
        QCOMPARE(QCoro::waitFor(api.help(HelpRequest{})).error(), APIError::badResponse());
        transport->reply(200, R"({"members":[]})");
        QCOMPARE(QCoro::waitFor(api.slackUsers()).error(), APIError::badResponse());
    }

    void transportFailuresSplitByWhetherTheRequestMayHaveArrived()
    {
        using C = TransportError::Code;
        for (C code : {C::cannotConnectToHost, C::cannotFindHost, C::dnsLookupFailed,
                       C::notConnectedToInternet, C::badURL, C::unsupportedURL,
                       C::secureConnectionRequired, C::cancelled}) {
            transport->fail(code);
            const auto result = QCoro::waitFor(api.health());
            QVERIFY(result.error().is<APIError::Unreachable>());
            QCOMPARE(result.error().as<APIError::Unreachable>()->detail,
                     QStringLiteral("detail of the failure"));
        }
        for (C code : {C::timedOut, C::networkConnectionLost, C::other}) {
            transport->fail(code);
            QVERIFY(QCoro::waitFor(api.health()).error().is<APIError::Uncertain>());
        }
        transport->answers.push_back(APIError::badResponse());
        QCOMPARE(QCoro::waitFor(api.health()).error(), APIError::badResponse());
    }

    void submitSafelyRepeatsOnlyWhileTheOutcomeIsUnclear()
    {
        int uncertainCalls = 0;
        QList<std::chrono::milliseconds> pauses;
        const ReelCheckAPI::Sleeper sleep = [&](std::chrono::milliseconds pause) -> QCoro::Task<> {
            pauses.append(pause);
            co_return;
        };
        // Afresh with this script; once the script runs out every attempt is unclear.
        const auto run = [&](const QList<TransportOutcome> &script, int repeats = 4) {
            init();
            uncertainCalls = 0;
            pauses.clear();
            transport->answers.assign(script.begin(), script.end());
            return QCoro::waitFor(api.submitSafely(
                sampleRequest(), repeats, std::chrono::seconds(3), [&] { ++uncertainCalls; },
                sleep));
        };
        using C = TransportError::Code;
        const TransportOutcome timedOut = TransportError{C::timedOut, {}};
        const TransportOutcome refused = TransportError{C::cannotConnectToHost, {}};
        const TransportOutcome created = HTTPReply{200, R"({"id":"s1"})"};

        QVERIFY(run({refused}).error().is<APIError::Unreachable>());
        QCOMPARE(transport->requests.size(), 1);
        QCOMPARE(uncertainCalls, 0);

        // Once retrying, unreachable counts as unclear too.
        QCOMPARE(run({timedOut, refused, HTTPReply{201, R"({"id":"s9","number":9})"}}).value(),
                 SubmissionCreated({QStringLiteral("s9"), 9}));
        QCOMPARE(transport->requests.size(), 3);
        QCOMPARE(uncertainCalls, 2);
        QCOMPARE(pauses, QList<std::chrono::milliseconds>(2, std::chrono::seconds(3)));
        QCOMPARE(transport->requests.at(0).body, transport->requests.at(2).body);

        // After an unclear attempt a rejection is final.
        QCOMPARE(run({TransportError{C::networkConnectionLost, {}},
                      HTTPReply{400, R"({"error":"Bad version."})"}})
                     .error(),
                 APIError::rejected("Bad version."));
        QCOMPARE(transport->requests.size(), 2);

        // 5xx, Airtable and rate limits are repeated only after an unclear attempt.
        for (int status : {500, 502, 429}) {
            QVERIFY(!run({HTTPReply{status, {}}, created}));
            QCOMPARE(transport->requests.size(), 1);
            QVERIFY(run({timedOut, HTTPReply{status, {}}, created}));
            QCOMPARE(transport->requests.size(), 3);
        }
        for (int status : {404, 503}) {
            QVERIFY(!run({timedOut, HTTPReply{status, {}}, created}));
            QCOMPARE(transport->requests.size(), 2);
        }

        QCOMPARE(run({}).error(), APIError::uncertain(QStringLiteral("no answer after 5 tries")));
        QCOMPARE(transport->requests.size(), 5);
        QCOMPARE(uncertainCalls, 4);
        QCOMPARE(run({}, 0).error(),
                 APIError::uncertain(QStringLiteral("no answer after 1 tries")));
        QCOMPARE(uncertainCalls, 0);

        // With no sleeper of its own it waits on a real timer.
        transport->fail(TransportError::Code::timedOut);
        transport->reply(200, R"({"id":"s1"})");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QCoro::waitFor(
            api.submitSafely(sampleRequest(), 4, std::chrono::milliseconds(200), {})));
        // Coarse timers may fire a little early; what matters is that it waited at all.
        QVERIFY(clock.elapsed() >= 150);
    }

    void sentencesCarryTheServiceMessage()
    {
        QCOMPARE(APIError::rejected(QStringLiteral("Bad.")).description(),
                 QStringLiteral("The reel check refused this: Bad."));
        QCOMPARE(APIError::http(500, QStringLiteral("Boom")).description(),
                 QStringLiteral("The reel check answered with an error (500). Boom"));
        // Details are for logs; the sentence never shows them.
        QCOMPARE(
            APIError::unreachable(QStringLiteral("x")).description(),
            QStringLiteral("Can't reach the reel check on VX9. Are you on the Kestrel network?"));
        QCOMPARE(APIError::uncertain(QStringLiteral("socket 12 closed")).description(),
                 QStringLiteral("Tessera couldn't confirm that VX9 got the submission."));
    }

    void accessKeyComesFromTheBuildThenTheEnvironment()
    {
        const auto env = std::optional<QString>(QStringLiteral("from-env"));
        QCOMPARE(ReelCheckAPI::resolveKey(QStringLiteral("built"), env), QStringLiteral("built"));
        QCOMPARE(ReelCheckAPI::resolveKey(QStringLiteral("__API_KEY__"), env), env);
        QCOMPARE(ReelCheckAPI::resolveKey(QString(), QString()), QString());
        QCOMPARE(ReelCheckAPI::resolveKey(QString(), std::nullopt), std::nullopt);

        qunsetenv("TESSERA_API_KEY");
        QCOMPARE(ReelCheckAPI::environmentKey(), std::nullopt);
        qputenv("TESSERA_API_KEY", "");
        QCOMPARE(ReelCheckAPI::environmentKey(), QString());
        qputenv("TESSERA_API_KEY", " spaced ");
        QCOMPARE(ReelCheckAPI::environmentKey(), QStringLiteral(" spaced "));
        qunsetenv("TESSERA_API_KEY");
    }
};

QTEST_GUILESS_MAIN(ReelCheckAPITest)
#include "ReelCheckAPITest.moc"
