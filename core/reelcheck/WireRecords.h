#pragma once

#include "core/naming/Reel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessera {

// What Tessera sends to create a submission. `key` makes it idempotent: made once per submission
// (an upper-case UUID) and sent unchanged on every retry.
struct SubmissionRequest
{
    QString reelID;
    QString version;
    bool newEDL = false;
    QString note;
    QString editor;
    QStringList files; // names on the NAS, movies only, in copy-plan order
    QString key;
    std::optional<QString> edl;
    std::optional<QString> slackUserID;

    friend bool operator==(const SubmissionRequest &, const SubmissionRequest &) = default;
};

// A fresh submission key: 36 characters, hyphenated, upper-case hexadecimal.
QString newSubmissionKey();

struct SubmissionCreated
{
    QString id;
    std::optional<qint64> number;

    friend bool operator==(const SubmissionCreated &, const SubmissionCreated &) = default;
};

struct SubmissionStatus
{
    QString id;
    std::optional<qint64> number;
    QString status;
    QStringList problems;
    QStringList filesChecked;
    std::optional<QString> checkedAt; // the service's text, never parsed
    bool waitingForFiles = false;

    static constexpr QStringView readyText = u"Ready for QLab";
    static constexpr QStringView needsFixingText = u"Needs fixing";

    // The reel check has a result; compared exactly, case included.
    bool isFinal() const { return status == readyText || status == needsFixingText; }

    friend bool operator==(const SubmissionStatus &, const SubmissionStatus &) = default;
};

struct Health
{
    bool nasOK = false;
    bool airtableOK = false;
    std::optional<double> lastPollAgeS;
    std::optional<QString> version;

    static constexpr QStringView degradedMessage =
        u"VX9 can't check reels right now. Your files are copied and submitted; the check will "
        u"run when it's back. Vesko has been told.";

    // The NAS is out of reach, or the service's own poll is more than a minute old.
    bool isDegraded() const { return !nasOK || (lastPollAgeS && *lastPollAgeS > 60.0); }

    friend bool operator==(const Health &, const Health &) = default;
};

// Reading and writing the service's JSON. Every reader takes one whole document and gives nothing
// when it breaks the wire rules; writers leave absent optional fields out.
namespace Wire {

std::optional<Reel> readReel(const QByteArray &json);
QByteArray write(const Reel &reel);
QJsonObject toObject(const Reel &reel);
std::optional<Reel> reelFromObject(const QJsonObject &object);

// {"reels": [...]}; only the array is handed on.
std::optional<QList<Reel>> readReelList(const QByteArray &json);
QByteArray writeReelList(const QList<Reel> &reels);

std::optional<SubmissionRequest> readSubmissionRequest(const QByteArray &json);
// Keys in sorted order.
QByteArray write(const SubmissionRequest &request);

std::optional<SubmissionCreated> readSubmissionCreated(const QByteArray &json);
QByteArray write(const SubmissionCreated &created);

std::optional<SubmissionStatus> readSubmissionStatus(const QByteArray &json);
QByteArray write(const SubmissionStatus &status);

std::optional<Health> readHealth(const QByteArray &json);
QByteArray write(const Health &health);

// {"error": "..."} gives its text.
std::optional<QString> readErrorReply(const QByteArray &json);
QByteArray writeErrorReply(const QString &message);

} // namespace Wire
} // namespace tessera
