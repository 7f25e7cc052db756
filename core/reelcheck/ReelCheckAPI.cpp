#include "core/reelcheck/ReelCheckAPI.h"

#include <QStringDecoder>
#include <qcoro/qcorotimer.h>

namespace tessera {

namespace {

QUrl endpoint(const QUrl &base, const QString &encodedPath)
{
    QUrl url = base;
    QString path = base.path(QUrl::FullyEncoded);
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + encodedPath, QUrl::StrictMode);
    return url;
}

HTTPRequest buildRequest(const ReelCheckAPI &api, const QByteArray &method,
                         const QString &encodedPath, std::optional<QByteArray> body)
{
    HTTPRequest request;
    request.method = method;
    request.url = endpoint(api.base, encodedPath);
    request.timeout = api.timeout;
    const auto header = [&](QByteArrayView name, const QByteArray &value) {
        request.headers.append(std::pair(name.toByteArray(), value));
    };
    header(ReelCheckAPI::headerName, "1");
    if (api.apiKey && !api.apiKey->isEmpty())
        header(ReelCheckAPI::keyHeaderName, api.apiKey->toUtf8());
    header("Accept", "application/json");
    if (body) {
        header("Content-Type", "application/json");
        request.body = std::move(body);
    }
    return request;
}

// One exchange: the body of a 2xx answer, or the error for everything else.
QCoro::Task<Result<QByteArray>> send(ReelCheckAPI api, QByteArray method, QString encodedPath,
                                     std::optional<QByteArray> body)
{
    if (!api.transport)
        co_return APIError::unreachable(QStringLiteral("no transport"));
    HTTPRequest request = buildRequest(api, method, encodedPath, std::move(body));
    const TransportOutcome outcome = co_await api.transport->send(std::move(request));
    if (const auto *error = std::get_if<APIError>(&outcome))
        co_return *error;
    if (const auto *failure = std::get_if<TransportError>(&outcome)) {
        if (failure->certainlyNeverSent())
            co_return APIError::unreachable(failure->description);
        co_return APIError::uncertain(failure->description);
    }
    const HTTPReply &reply = std::get<HTTPReply>(outcome);
    if (reply.statusCode >= 200 && reply.statusCode <= 299)
        co_return reply.body;
    co_return ReelCheckAPI::statusError(reply.statusCode, reply.body);
}

template<typename T>
Result<T> readOr(const Result<QByteArray> &body, std::optional<T> (*read)(const QByteArray &))
{
    if (!body)
        return body.error();
    std::optional<T> record = read(body.value());
    if (!record)
        return APIError::badResponse();
    return std::move(*record);
}

QCoro::Task<Result<Health>> healthOf(ReelCheckAPI api)
{
    const auto body = co_await send(std::move(api), "GET", QStringLiteral("api/health"), {});
    co_return readOr<Health>(body, &Wire::readHealth);
}

QCoro::Task<Result<QList<Reel>>> reelsOf(ReelCheckAPI api)
{
    const auto body = co_await send(std::move(api), "GET", QStringLiteral("api/reels"), {});
    co_return readOr<QList<Reel>>(body, &Wire::readReelList);
}

QCoro::Task<Result<SubmissionCreated>> submitTo(ReelCheckAPI api, SubmissionRequest request)
{
    const auto body = co_await send(std::move(api), "POST", QStringLiteral("api/submissions"),
                                    Wire::write(request));
    co_return readOr<SubmissionCreated>(body, &Wire::readSubmissionCreated);
}

QCoro::Task<Result<SubmissionStatus>> statusOf(ReelCheckAPI api, QString id)
{
    const QString path = QStringLiteral("api/submissions/") + ReelCheckAPI::escapedPathSegment(id);
    const auto body = co_await send(std::move(api), "GET", path, {});
    co_return readOr<SubmissionStatus>(body, &Wire::readSubmissionStatus);
}

QCoro::Task<Result<QList<SlackUser>>> slackUsersOf(ReelCheckAPI api)
{
    const auto body = co_await send(std::move(api), "GET", QStringLiteral("api/slack-users"), {});
    co_return readOr<QList<SlackUser>>(body, &Wire::readSlackUsers);
}

QCoro::Task<Result<Done>> helpTo(ReelCheckAPI api, HelpRequest request)
{
    const auto body =
        co_await send(std::move(api), "POST", QStringLiteral("api/help"), Wire::write(request));
    if (!body)
        co_return body.error();
    if (!Wire::readHelpAccepted(body.value()))
        co_return APIError::badResponse();
    co_return Done{};
}

// How many bytes at the end start a UTF-8 sequence that the end cut short (0 when none does).
qsizetype incompleteTail(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes.at(size - back));
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const int length = byte >= 0xF0 && byte <= 0xF4   ? 4
                           : byte >= 0xE0 && byte <= 0xEF ? 3
                           : byte >= 0xC2 && byte <= 0xDF ? 2
                                                          : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool worthRepeating(const APIError &error, bool retrying)
{
    if (error.is<APIError::Uncertain>())
        return true;
    if (!retrying)
        return false;
    if (const auto *http = error.as<APIError::Http>())
        return http->statusCode >= 500 && http->statusCode <= 599;
    return error.is<APIError::Unreachable>() || error.is<APIError::Airtable>() ||
           error.is<APIError::RateLimited>();
}

QCoro::Task<> sleepOnTimer(std::chrono::milliseconds pause)
{
    co_await QCoro::sleepFor(pause);
}

QCoro::Task<Result<SubmissionCreated>> submitSafelyTo(ReelCheckAPI api, SubmissionRequest request,
                                                      int repeats, std::chrono::milliseconds pause,
                                                      std::function<void()> onUncertain,
                                                      ReelCheckAPI::Sleeper sleep)
{
    int failures = 0;
    bool retrying = false; // an earlier attempt of this call had an unclear outcome
    for (;;) {
        Result<SubmissionCreated> attempt = co_await submitTo(api, request);
        if (attempt || !worthRepeating(attempt.error(), retrying))
            co_return attempt;
        ++failures;
        if (failures > repeats)
            co_return APIError::uncertain(QStringLiteral("no answer after ") +
                                          QString::number(failures) + QStringLiteral(" tries"));
        if (onUncertain)
            onUncertain();
        if (sleep)
            co_await sleep(pause);
        else
            co_await sleepOnTimer(pause);
        retrying = true;
    }
}

} // namespace

QUrl ReelCheckAPI::defaultBase()
{
    return QUrl(QStringLiteral(TESSERA_DEFAULT_API_BASE));
}

std::optional<QString> ReelCheckAPI::resolveKey(const QString &builtInKey,
                                                const std::optional<QString> &environmentKey)
{
    if (!builtInKey.isEmpty() && builtInKey != u"__API_KEY__")
        return builtInKey;
    return environmentKey;
}

std::optional<QString> ReelCheckAPI::environmentKey()
{
    if (!qEnvironmentVariableIsSet("TESSERA_API_KEY"))
        return std::nullopt;
    return qEnvironmentVariable("TESSERA_API_KEY");
}

QCoro::Task<Result<Health>> ReelCheckAPI::health() const
{
    return healthOf(*this);
}

QCoro::Task<Result<QList<Reel>>> ReelCheckAPI::reels() const
{
    return reelsOf(*this);
}

QCoro::Task<Result<SubmissionCreated>> ReelCheckAPI::submit(SubmissionRequest request) const
{
    return submitTo(*this, std::move(request));
}

QCoro::Task<Result<SubmissionStatus>> ReelCheckAPI::submission(QString id) const
{
    return statusOf(*this, std::move(id));
}

QCoro::Task<Result<QList<SlackUser>>> ReelCheckAPI::slackUsers() const
{
    return slackUsersOf(*this);
}

QCoro::Task<Result<Done>> ReelCheckAPI::help(HelpRequest request) const
{
    return helpTo(*this, std::move(request));
}

QCoro::Task<Result<SubmissionCreated>>
ReelCheckAPI::submitSafely(SubmissionRequest request, int repeats, std::chrono::milliseconds pause,
                           std::function<void()> onUncertain, Sleeper sleep) const
{
    return submitSafelyTo(*this, std::move(request), repeats, pause, std::move(onUncertain),
                          std::move(sleep));
}

QString ReelCheckAPI::replyMessage(const QByteArray &body)
{
    if (const auto message = Wire::readErrorReply(body))
        return *message;
    QByteArray head = body.left(200);
    // A character cut off at byte 200 becomes one U+FFFD; Qt would give one per byte.
    const qsizetype cut = incompleteTail(head);
    if (cut == 0)
        return QString::fromUtf8(head);
    head.chop(cut);
    return QString::fromUtf8(head) + QChar(QChar::ReplacementCharacter);
}

APIError ReelCheckAPI::statusError(int statusCode, const QByteArray &body)
{
    switch (statusCode) {
    case 400:
        return APIError::rejected(replyMessage(body));
    case 401:
    case 403:
        return APIError::notAllowed();
    case 429:
        return APIError::rateLimited();
    case 502:
        return APIError::airtable(replyMessage(body));
    case 503:
        return APIError::notSetUp();
    default:
        return APIError::http(statusCode, replyMessage(body));
    }
}

QString ReelCheckAPI::escapedPathSegment(const QString &id)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(id, QByteArray(), "-._~"));
}

} // namespace tessera
