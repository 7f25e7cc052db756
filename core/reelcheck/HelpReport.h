#pragma once

#include "core/reelcheck/APIError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace tessera {

// What Tessera tells the service about the editor's situation with a help request. Fill the
// fields, then take normalized(): that is the form that is sent and summarised.
struct HelpContext
{
    std::optional<QString> reel;
    std::optional<QString> version;
    std::optional<QString> step;
    std::optional<QString> error;
    std::optional<QStringList> files;
    std::optional<QString> submissionID;
    std::optional<qint64> submissionNumber;
    std::optional<QString> appVersion;
    // The operating system's version, "{major}.{minor}.{patch}" (the kernel's on Linux); the wire
    // key stays "macos" because the service reads it under that name.
    std::optional<QString> macos;
    std::optional<bool> nasOK;
    std::optional<bool> vx9OK;
    std::optional<QString> slackUserID;

    static constexpr int maxFiles = 20;

    // Strings trimmed of blanks and line breaks, absent when nothing is left; files absent when
    // empty and cut to the first maxFiles.
    HelpContext normalized() const;

    friend bool operator==(const HelpContext &, const HelpContext &) = default;
};

struct HelpRequest
{
    QString editor;
    QString message;
    HelpContext context;

    friend bool operator==(const HelpRequest &, const HelpRequest &) = default;
};

namespace HelpReport {

inline constexpr int maxMessage = 1000;
inline constexpr QStringView sentText = u"Sent. Vesko will reply in Slack.";
inline constexpr QStringView fallbackText = u"Couldn't send it from here. Your message is copied: "
                                            u"paste it in the Slack chat that just opened.";

// Opens a direct Slack chat with the person who answers help requests.
QUrl slackURL();

// The user-perceived characters of the message once trimmed of blanks and line breaks: the count
// the help sheet shows.
qsizetype messageLength(const QString &message);
// 1 to maxMessage characters, as messageLength counts them.
bool isValid(const QString &message);

QStringList contextLines(const HelpContext &context);
// The plain-text report that goes on the clipboard when the service can't take the request.
QString summary(const HelpRequest &request);

// Only a refusal by the service is shown as an error; every other failure falls back to the
// clipboard and Slack so the editor's message is never lost.
bool shouldFallBack(const APIError &error);

} // namespace HelpReport

namespace Wire {

QJsonObject toObject(const HelpContext &context);
std::optional<HelpContext> helpContextFromObject(const QJsonObject &object);

// Keys in sorted order, the context's absent fields left out.
QByteArray write(const HelpRequest &request);
std::optional<HelpRequest> readHelpRequest(const QByteArray &json);

// The service's answer to a help request: an object whose boolean "ok" is true.
bool readHelpAccepted(const QByteArray &json);
QByteArray writeHelpAccepted(bool ok);

} // namespace Wire
} // namespace tessera
