#pragma once

#include "core/naming/Reel.h"
#include "core/reelcheck/SlackUser.h"
#include "core/reelcheck/WireRecords.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QTextStream>

#include <functional>
#include <optional>

namespace tessera {

// The reels and Slack users the stand-in serves, read from a JSON file:
// {"reels": [{"id", "name"}...], "slack_users": [{"id", "name", "real_name"}...]}.
struct ServiceData
{
    QList<Reel> reels;
    QList<SlackUser> slackUsers;

    // The data, or a sentence saying what is wrong with the file.
    static std::variant<ServiceData, QString> read(const QString &path);
};

// A local stand-in of the reel check service: the same endpoints and records, state in memory,
// submissions idempotent by key, and a reel check that runs Tessera's own pre-check on the files
// once they are all in the drop folder.
class ReelCheckService : public QAbstractHttpServer
{
public:
    struct Options
    {
        ServiceData data;
        std::optional<QString> accessKey; // required in X-Tessera-Key when set
        QString dropFolder;               // holds the day folders; empty when not given
        // Where the submissions are kept across restarts; empty keeps them in memory only.
        QString stateFile;
    };

    ReelCheckService(Options options, QTextStream &out);

    // Reads the submissions of an earlier run from the state file (none when it does not exist
    // yet); a sentence saying what is wrong when it cannot be read, and the file is left alone.
    std::optional<QString> loadState();

    struct Answer
    {
        int status = 200;
        QByteArray body;
    };
    // One request in, one answer out; public so the routing can be read apart from the socket.
    Answer answer(const QByteArray &method, const QString &encodedPath, const QByteArray &keyHeader,
                  const QByteArray &body);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Submission
    {
        SubmissionRequest request;
        SubmissionCreated created;
        SubmissionStatus status;
    };

    Answer health() const;
    Answer submit(const QByteArray &body);
    Answer status(const QString &id);
    Answer listSubmissions() const;
    Answer help(const QByteArray &body);
    // Looks at the drop folder and, once every file is there, runs the check (only once).
    void check(Submission &submission);
    // Writes every submission to the state file through a temporary file and a rename, so that a
    // stand-in killed at any moment leaves the old state or the new one, never half of one.
    void saveState() const;

    Options m_options;
    QTextStream &m_out;
    QList<QString> m_order; // submission ids in the order they were made
    QHash<QString, Submission> m_submissions;
    QHash<QString, QString> m_idByKey;
};

} // namespace tessera
