#pragma once

#include "core/reelcheck/HTTPTransport.h"
#include "core/reelcheck/HelpReport.h"
#include "core/reelcheck/Result.h"
#include "core/reelcheck/SlackUser.h"
#include "core/reelcheck/WireRecords.h"

#include <QUrl>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tessera {

// Tessera's client of the reel check service. A plain value: configuration only, no state between
// calls. Every call works on its own copy of the configuration, so the caller may replace or drop
// its client while calls are under way.
struct ReelCheckAPI
{
    QUrl base = defaultBase();
    std::shared_ptr<HTTPTransport> transport;
    double timeout = 10.0; // seconds
    std::optional<QString> apiKey;

    static constexpr QByteArrayView headerName = "X-Tessera";
    static constexpr QByteArrayView keyHeaderName = "X-Tessera-Key";

    // The service on the production's network (a build setting), port 8790.
    static QUrl defaultBase();

    // The access key: the build's key when it is set and not the placeholder, else the environment
    // variable TESSERA_API_KEY as it is (also when empty), else none.
    static std::optional<QString> resolveKey(const QString &builtInKey,
                                             const std::optional<QString> &environmentKey);

    // TESSERA_API_KEY when it is set, also when empty; nothing when it is not set.
    static std::optional<QString> environmentKey();

    QCoro::Task<Result<Health>> health() const;
    QCoro::Task<Result<QList<Reel>>> reels() const;
    QCoro::Task<Result<SubmissionCreated>> submit(SubmissionRequest request) const;
    QCoro::Task<Result<SubmissionStatus>> submission(QString id) const;
    QCoro::Task<Result<QList<SlackUser>>> slackUsers() const;
    QCoro::Task<Result<Done>> help(HelpRequest request) const;

    // How submitSafely waits between attempts; tests pass one that returns at once.
    using Sleeper = std::function<QCoro::Task<>(std::chrono::milliseconds)>;

    // Submits, and while the outcome stays unclear submits the same request again (same key, so
    // the service never makes a second submission): after an uncertain attempt, also unreachable,
    // Airtable, 5xx and rate-limited answers are tried again. At most `repeats` more attempts,
    // `pause` apart; onUncertain() is called before each pause.
    QCoro::Task<Result<SubmissionCreated>> submitSafely(SubmissionRequest request, int repeats,
                                                        std::chrono::milliseconds pause,
                                                        std::function<void()> onUncertain,
                                                        Sleeper sleep = {}) const;

    // The message that goes with rejected, airtable and http: the reply's error object, else its
    // first 200 bytes as UTF-8 with broken sequences replaced.
    static QString replyMessage(const QByteArray &body);
    // The error for an answer outside 200 to 299.
    static APIError statusError(int statusCode, const QByteArray &body);
    // Percent-encodes everything but ASCII letters and digits, so an id is one path segment.
    static QString escapedPathSegment(const QString &id);
};

} // namespace tessera
