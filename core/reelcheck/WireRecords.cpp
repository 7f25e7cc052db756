#include "core/reelcheck/WireRecords.h"

#include "core/reelcheck/StrictJSON.h"

#include <QUuid>

namespace tessera {

using StrictJSON::ObjectReader;

QString newSubmissionKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

namespace Wire {

namespace {

// Runs a field reader over the document's top-level object.
template<typename Read>
auto readObject(const QByteArray &json, Read read) -> decltype(read(std::declval<ObjectReader &>()))
{
    const auto object = StrictJSON::object(json);
    if (!object)
        return std::nullopt;
    ObjectReader reader(*object);
    auto record = read(reader);
    if (!reader.ok())
        return std::nullopt;
    return record;
}

template<typename T>
void insertOptional(QJsonObject &object, QLatin1StringView key, const std::optional<T> &value)
{
    if (value)
        object.insert(key, QJsonValue(*value));
}

QJsonArray stringArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

} // namespace

std::optional<Reel> reelFromObject(const QJsonObject &object)
{
    ObjectReader reader(object);
    Reel reel{reader.requiredString(QLatin1StringView("id")),
              reader.requiredString(QLatin1StringView("name"))};
    if (!reader.ok())
        return std::nullopt;
    return reel;
}

QJsonObject toObject(const Reel &reel)
{
    return {{QLatin1StringView("id"), reel.id}, {QLatin1StringView("name"), reel.name}};
}

std::optional<Reel> readReel(const QByteArray &json)
{
    return StrictJSON::read(json, &reelFromObject);
}

QByteArray write(const Reel &reel)
{
    return StrictJSON::bytes(toObject(reel));
}

std::optional<QList<Reel>> readReelList(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &reader) -> std::optional<QList<Reel>> {
        return StrictJSON::listOf(reader.requiredArray(QLatin1StringView("reels")),
                                  &reelFromObject);
    });
}

QByteArray writeReelList(const QList<Reel> &reels)
{
    QJsonArray items;
    for (const Reel &reel : reels)
        items.append(toObject(reel));
    return StrictJSON::bytes({{QLatin1StringView("reels"), items}});
}

std::optional<SubmissionRequest> readSubmissionRequest(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &r) -> std::optional<SubmissionRequest> {
        SubmissionRequest request;
        request.reelID = r.requiredString(QLatin1StringView("reel_id"));
        request.version = r.requiredString(QLatin1StringView("version"));
        request.newEDL = r.requiredBool(QLatin1StringView("new_edl"));
        request.note = r.requiredString(QLatin1StringView("note"));
        request.editor = r.requiredString(QLatin1StringView("editor"));
        request.files = r.requiredStrings(QLatin1StringView("files"));
        request.key = r.requiredString(QLatin1StringView("key"));
        request.edl = r.optionalString(QLatin1StringView("edl"));
        request.slackUserID = r.optionalString(QLatin1StringView("slack_user_id"));
        return request;
    });
}

QByteArray write(const SubmissionRequest &request)
{
    QJsonObject object{
        {QLatin1StringView("reel_id"), request.reelID},
        {QLatin1StringView("version"), request.version},
        {QLatin1StringView("new_edl"), request.newEDL},
        {QLatin1StringView("note"), request.note},
        {QLatin1StringView("editor"), request.editor},
        {QLatin1StringView("files"), stringArray(request.files)},
        {QLatin1StringView("key"), request.key},
    };
    insertOptional(object, QLatin1StringView("edl"), request.edl);
    insertOptional(object, QLatin1StringView("slack_user_id"), request.slackUserID);
    return StrictJSON::bytes(object);
}

std::optional<SubmissionCreated> readSubmissionCreated(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &r) -> std::optional<SubmissionCreated> {
        SubmissionCreated created;
        created.id = r.requiredString(QLatin1StringView("id"));
        created.number = r.optionalInteger(QLatin1StringView("number"));
        return created;
    });
}

QByteArray write(const SubmissionCreated &created)
{
    QJsonObject object{{QLatin1StringView("id"), created.id}};
    insertOptional(object, QLatin1StringView("number"), created.number);
    return StrictJSON::bytes(object);
}

std::optional<SubmissionStatus> readSubmissionStatus(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &r) -> std::optional<SubmissionStatus> {
        SubmissionStatus status;
        status.id = r.requiredString(QLatin1StringView("id"));
        status.number = r.optionalInteger(QLatin1StringView("number"));
        status.status = r.stringOrEmpty(QLatin1StringView("status"));
        status.problems = r.optionalStrings(QLatin1StringView("problems")).value_or(QStringList());
        status.filesChecked =
            r.optionalStrings(QLatin1StringView("files_checked")).value_or(QStringList());
        status.checkedAt = r.optionalString(QLatin1StringView("checked_at"));
        status.waitingForFiles =
            r.optionalBool(QLatin1StringView("waiting_for_files")).value_or(false);
        return status;
    });
}

QByteArray write(const SubmissionStatus &status)
{
    QJsonObject object{
        {QLatin1StringView("id"), status.id},
        {QLatin1StringView("status"), status.status},
        {QLatin1StringView("problems"), stringArray(status.problems)},
        {QLatin1StringView("files_checked"), stringArray(status.filesChecked)},
        {QLatin1StringView("waiting_for_files"), status.waitingForFiles},
    };
    insertOptional(object, QLatin1StringView("number"), status.number);
    insertOptional(object, QLatin1StringView("checked_at"), status.checkedAt);
    return StrictJSON::bytes(object);
}

std::optional<Health> readHealth(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &r) -> std::optional<Health> {
        Health health;
        health.nasOK = r.requiredBool(QLatin1StringView("nas_ok"));
        health.airtableOK = r.requiredBool(QLatin1StringView("airtable_ok"));
        health.lastPollAgeS = r.optionalDouble(QLatin1StringView("last_poll_age_s"));
        health.version = r.optionalString(QLatin1StringView("version"));
        return health;
    });
}

QByteArray write(const Health &health)
{
    QJsonObject object{
        {QLatin1StringView("nas_ok"), health.nasOK},
        {QLatin1StringView("airtable_ok"), health.airtableOK},
    };
    insertOptional(object, QLatin1StringView("last_poll_age_s"), health.lastPollAgeS);
    insertOptional(object, QLatin1StringView("version"), health.version);
    return StrictJSON::bytes(object);
}

std::optional<QString> readErrorReply(const QByteArray &json)
{
    return readObject(json, [](ObjectReader &r) -> std::optional<QString> {
        return r.requiredString(QLatin1StringView("error"));
    });
}

QByteArray writeErrorReply(const QString &message)
{
    return StrictJSON::bytes({{QLatin1StringView("error"), message}});
}

} // namespace Wire
} // namespace tessera
