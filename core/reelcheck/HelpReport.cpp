#include "core/reelcheck/HelpReport.h"

#include "core/naming/Characters.h"
#include "core/reelcheck/StrictJSON.h"

#include <QUrlQuery>

namespace tessera {

namespace {

std::optional<QString> trimmedOrAbsent(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    QString trimmed = text->trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

QString reachable(bool ok)
{
    return ok ? QStringLiteral("reachable") : QStringLiteral("not reachable");
}

} // namespace

HelpContext HelpContext::normalized() const
{
    HelpContext result = *this;
    for (auto field : {&HelpContext::reel, &HelpContext::version, &HelpContext::step,
                       &HelpContext::error, &HelpContext::submissionID, &HelpContext::appVersion,
                       &HelpContext::macos, &HelpContext::slackUserID})
        result.*field = trimmedOrAbsent(this->*field);
    if (result.files) {
        if (result.files->isEmpty())
            result.files.reset();
        else if (result.files->size() > maxFiles)
            result.files = result.files->first(maxFiles);
    }
    return result;
}

namespace HelpReport {

QUrl slackURL()
{
    QUrl url;
    url.setScheme(QStringLiteral("slack"));
    url.setHost(QStringLiteral("user"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("team"), QStringLiteral(TESSERA_SLACK_TEAM));
    query.addQueryItem(QStringLiteral("id"), QStringLiteral(TESSERA_SLACK_HELPER_ID));
    url.setQuery(query);
    return url;
}

qsizetype messageLength(const QString &message)
{
    return Characters::count(message.trimmed());
}

bool isValid(const QString &message)
{
    const qsizetype length = messageLength(message);
    return length >= 1 && length <= maxMessage;
}

QStringList contextLines(const HelpContext &c)
{
    QStringList lines;
    if (c.reel)
        lines.append(QStringLiteral("Reel: ") + *c.reel);
    if (c.version)
        lines.append(QStringLiteral("Version: ") + *c.version);
    if (c.step)
        lines.append(QStringLiteral("Step: ") + *c.step);
    if (c.error)
        lines.append(QStringLiteral("Error: ") + *c.error);
    if (c.submissionNumber && c.submissionID)
        lines.append(QStringLiteral("Submission: #") + QString::number(*c.submissionNumber) +
                     QStringLiteral(" (") + *c.submissionID + u')');
    else if (c.submissionNumber)
        lines.append(QStringLiteral("Submission: #") + QString::number(*c.submissionNumber));
    else if (c.submissionID)
        lines.append(QStringLiteral("Submission: ") + *c.submissionID);
    if (c.files)
        lines.append(QStringLiteral("Files: ") + c.files->join(QStringLiteral(", ")));
    if (c.nasOK)
        lines.append(QStringLiteral("NAS: ") + reachable(*c.nasOK));
    if (c.vx9OK)
        lines.append(QStringLiteral("VX9: ") + reachable(*c.vx9OK));
    QString last = QStringLiteral("Tessera ") + c.appVersion.value_or(QStringLiteral("?"));
    if (c.macos)
        last += QStringLiteral(" on Linux ") + *c.macos;
    lines.append(last);
    return lines;
}

QString summary(const HelpRequest &request)
{
    QStringList lines;
    lines.append(QStringLiteral("Tessera help request from ") +
                 (request.editor.isEmpty() ? QStringLiteral("an editor") : request.editor));
    lines.append(QStringLiteral("What's going on: ") + request.message.trimmed());
    lines.append(QString());
    lines.append(contextLines(request.context));
    return lines.join(u'\n');
}

bool shouldFallBack(const APIError &error)
{
    return !error.is<APIError::Rejected>();
}

} // namespace HelpReport

namespace Wire {

QJsonObject toObject(const HelpContext &c)
{
    QJsonObject object;
    const auto put = [&](const char *key, const auto &value) {
        if (value)
            object.insert(QLatin1StringView(key), QJsonValue(*value));
    };
    put("reel", c.reel);
    put("version", c.version);
    put("step", c.step);
    put("error", c.error);
    if (c.files)
        object.insert(QLatin1StringView("files"), QJsonArray::fromStringList(*c.files));
    put("submission_id", c.submissionID);
    put("submission_number", c.submissionNumber);
    put("app_version", c.appVersion);
    put("macos", c.macos);
    put("nas_ok", c.nasOK);
    put("vx9_ok", c.vx9OK);
    put("slack_user_id", c.slackUserID);
    return object;
}

std::optional<HelpContext> helpContextFromObject(const QJsonObject &object)
{
    StrictJSON::ObjectReader r(object);
    HelpContext c;
    c.reel = r.optionalString(QLatin1StringView("reel"));
    c.version = r.optionalString(QLatin1StringView("version"));
    c.step = r.optionalString(QLatin1StringView("step"));
    c.error = r.optionalString(QLatin1StringView("error"));
    c.files = r.optionalStrings(QLatin1StringView("files"));
    c.submissionID = r.optionalString(QLatin1StringView("submission_id"));
    c.submissionNumber = r.optionalInteger(QLatin1StringView("submission_number"));
    c.appVersion = r.optionalString(QLatin1StringView("app_version"));
    c.macos = r.optionalString(QLatin1StringView("macos"));
    c.nasOK = r.optionalBool(QLatin1StringView("nas_ok"));
    c.vx9OK = r.optionalBool(QLatin1StringView("vx9_ok"));
    c.slackUserID = r.optionalString(QLatin1StringView("slack_user_id"));
    if (!r.ok())
        return std::nullopt;
    return c;
}

QByteArray write(const HelpRequest &request)
{
    return StrictJSON::bytes({{QLatin1StringView("editor"), request.editor},
                              {QLatin1StringView("message"), request.message},
                              {QLatin1StringView("context"), toObject(request.context)}});
}

std::optional<HelpRequest> readHelpRequest(const QByteArray &json)
{
    const auto object = StrictJSON::object(json);
    if (!object)
        return std::nullopt;
    StrictJSON::ObjectReader r(*object);
    HelpRequest request;
    request.editor = r.requiredString(QLatin1StringView("editor"));
    request.message = r.requiredString(QLatin1StringView("message"));
    const QJsonObject context = r.requiredObject(QLatin1StringView("context"));
    if (!r.ok())
        return std::nullopt;
    const auto readContext = helpContextFromObject(context);
    if (!readContext)
        return std::nullopt;
    request.context = *readContext;
    return request;
}

bool readHelpAccepted(const QByteArray &json)
{
    const auto object = StrictJSON::object(json);
    if (!object)
        return false;
    StrictJSON::ObjectReader r(*object);
    const bool ok = r.requiredBool(QLatin1StringView("ok"));
    return r.ok() && ok;
}

QByteArray writeHelpAccepted(bool ok)
{
    return StrictJSON::bytes({{QLatin1StringView("ok"), ok}});
}

} // namespace Wire
} // namespace tessera
