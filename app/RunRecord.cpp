#include "app/RunRecord.h"

#include "core/copy/CopyPlanner.h"
#include "core/naming/Naming.h"
#include "core/reelcheck/StrictJSON.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <iterator>
#include <utility>

namespace tessera::RunRecord {

namespace {

// Raised whenever what is kept changes shape; a record of another format is not read. Fields
// added later are optional, so that a run kept before them is still taken up as it was then.
constexpr qint64 format = 1;

// The rows the plan found on the NAS, as the record names their states.
constexpr std::pair<FileState, const char *> foundStates[] = {
    {FileState::alreadyThere, "alreadyThere"},
    {FileState::renamed, "renamed"},
};

QJsonObject toObject(const FileStamp &stamp)
{
    return {{QStringLiteral("size"), stamp.size},
            {QStringLiteral("modified"), stamp.date.toMSecsSinceEpoch()}};
}

std::optional<FileStamp> stampFrom(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const auto size = StrictJSON::integer(object.value(QLatin1StringView("size")));
    const auto modified = StrictJSON::integer(object.value(QLatin1StringView("modified")));
    if (!value.isObject() || !size || !modified)
        return std::nullopt;
    return FileStamp{*size, QDateTime::fromMSecsSinceEpoch(*modified)};
}

QJsonObject toObject(const DroppedFile &file)
{
    QJsonObject object{{QStringLiteral("id"), file.id},
                       {QStringLiteral("path"), CopyPlanner::standardizedPath(file.url)}};
    if (file.slot) {
        object.insert(QStringLiteral("surface"), rawValue(file.slot->surface));
        object.insert(QStringLiteral("proxy"), rawValue(file.slot->proxy));
    }
    return object;
}

std::optional<DroppedFile> fileFrom(const QJsonObject &object)
{
    StrictJSON::ObjectReader reader(object);
    DroppedFile file;
    file.id = reader.requiredString(QLatin1StringView("id"));
    file.url = QUrl::fromLocalFile(reader.requiredString(QLatin1StringView("path")));
    const auto surface = reader.optionalString(QLatin1StringView("surface"));
    const auto proxy = reader.optionalInteger(QLatin1StringView("proxy"));
    if (!reader.ok() || surface.has_value() != proxy.has_value())
        return std::nullopt;
    if (surface) {
        const auto known = surfaceFromRawValue(*surface);
        const auto scale = proxyFromRawValue(*proxy);
        if (!known || !scale)
            return std::nullopt;
        file.slot = Slot{*known, *scale};
    }
    return file;
}

} // namespace

QByteArray write(const RunState &state)
{
    QJsonArray files;
    for (const DroppedFile &file : state.files)
        files.append(toObject(file));
    QJsonObject stamps;
    for (auto it = state.stamps.begin(); it != state.stamps.end(); ++it)
        stamps.insert(it.key(), toObject(it.value()));
    QJsonObject verified;
    for (auto it = state.verified.begin(); it != state.verified.end(); ++it)
        verified.insert(it.key(), QJsonObject{{QStringLiteral("digest"), it->digest},
                                              {QStringLiteral("onNAS"), toObject(it->onNAS)}});
    QJsonObject object{
        {QStringLiteral("format"), format},
        {QStringLiteral("reel"), Wire::toObject(state.reel)},
        {QStringLiteral("version"), state.version},
        {QStringLiteral("key"), state.key},
        {QStringLiteral("files"), files},
        {QStringLiteral("stamps"), stamps},
        {QStringLiteral("newEDL"), state.newEDL},
        {QStringLiteral("note"), state.note},
        {QStringLiteral("renameOriginals"), state.renameOriginals},
        {QStringLiteral("editor"), state.editor.editor},
        {QStringLiteral("verified"), verified},
    };
    if (state.edl)
        object.insert(QStringLiteral("edl"), CopyPlanner::standardizedPath(*state.edl));
    if (state.editor.slackUserID)
        object.insert(QStringLiteral("slackUserID"), *state.editor.slackUserID);
    if (state.submissionID)
        object.insert(QStringLiteral("submissionID"), *state.submissionID);
    if (state.submissionNumber)
        object.insert(QStringLiteral("submissionNumber"), *state.submissionNumber);
    if (state.submittedAt)
        object.insert(QStringLiteral("submittedAt"), state.submittedAt->toMSecsSinceEpoch());
    QJsonObject found;
    for (auto it = state.foundOnNAS.begin(); it != state.foundOnNAS.end(); ++it)
        for (const auto &[kind, name] : foundStates)
            if (kind == it.value())
                found.insert(it.key(), QString::fromLatin1(name));
    object.insert(QStringLiteral("foundOnNAS"), found);
    if (state.edlContent) {
        object.insert(QStringLiteral("edlContent"),
                      QString::fromLatin1(state.edlContent->toBase64()));
        object.insert(QStringLiteral("edlChanges"), state.edlChanges);
    }
    object.insert(QStringLiteral("maybeSubmitted"), state.maybeSubmitted);
    object.insert(QStringLiteral("originalsPending"), state.originalsPending);
    object.insert(QStringLiteral("originalsOutcome"),
                  QJsonArray::fromStringList(state.originalsOutcome));
    if (!state.partials.isEmpty())
        object.insert(QStringLiteral("partials"), QJsonArray::fromStringList(state.partials));
    return StrictJSON::bytes(object);
}

std::optional<RunState> read(const QByteArray &json)
{
    const auto top = StrictJSON::object(json);
    if (!top)
        return std::nullopt;
    StrictJSON::ObjectReader reader(*top);
    if (reader.optionalInteger(QLatin1StringView("format")) != format)
        return std::nullopt;
    RunState state;
    const auto reel = Wire::reelFromObject(top->value(QLatin1StringView("reel")).toObject());
    state.version = reader.requiredString(QLatin1StringView("version"));
    state.key = reader.requiredString(QLatin1StringView("key"));
    state.newEDL = reader.requiredBool(QLatin1StringView("newEDL"));
    state.note = reader.requiredString(QLatin1StringView("note"));
    state.renameOriginals = reader.requiredBool(QLatin1StringView("renameOriginals"));
    state.editor.editor = reader.requiredString(QLatin1StringView("editor"));
    state.editor.slackUserID = reader.optionalString(QLatin1StringView("slackUserID"));
    if (const auto edl = reader.optionalString(QLatin1StringView("edl")))
        state.edl = QUrl::fromLocalFile(*edl);
    state.submissionID = reader.optionalString(QLatin1StringView("submissionID"));
    state.submissionNumber = reader.optionalInteger(QLatin1StringView("submissionNumber"));
    if (const auto at = reader.optionalInteger(QLatin1StringView("submittedAt")))
        state.submittedAt = QDateTime::fromMSecsSinceEpoch(*at);
    if (const auto edl = reader.optionalString(QLatin1StringView("edlContent"))) {
        auto decoded = QByteArray::fromBase64Encoding(edl->toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        const auto changes = reader.optionalInteger(QLatin1StringView("edlChanges"));
        if (!changes)
            return std::nullopt;
        state.edlContent = *decoded;
        state.edlChanges = *changes;
    }
    state.maybeSubmitted = reader.optionalBool(QLatin1StringView("maybeSubmitted")).value_or(false);
    state.originalsPending =
        reader.optionalBool(QLatin1StringView("originalsPending")).value_or(false);
    state.originalsOutcome =
        reader.optionalStrings(QLatin1StringView("originalsOutcome")).value_or(QStringList());
    // Absent from records kept before partial files were remembered.
    state.partials = reader.optionalStrings(QLatin1StringView("partials")).value_or(QStringList());
    const QJsonValue files = top->value(QLatin1StringView("files"));
    const auto list = StrictJSON::listOf<DroppedFile>(files.toArray(), fileFrom);
    if (!reader.ok() || !reel || !files.isArray() || !list || state.key.isEmpty() ||
        !Naming::isValidStamp(state.version))
        return std::nullopt;
    state.reel = *reel;
    state.files = *list;

    const QJsonValue stamps = top->value(QLatin1StringView("stamps"));
    const QJsonValue verified = top->value(QLatin1StringView("verified"));
    if (!stamps.isObject() || !verified.isObject())
        return std::nullopt;
    const QJsonObject stampObject = stamps.toObject();
    for (auto it = stampObject.begin(); it != stampObject.end(); ++it) {
        const auto stamp = stampFrom(it.value());
        if (!stamp)
            return std::nullopt;
        state.stamps.insert(it.key(), *stamp);
    }
    const QJsonObject verifiedObject = verified.toObject();
    for (auto it = verifiedObject.begin(); it != verifiedObject.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        const QJsonValue digest = entry.value(QLatin1StringView("digest"));
        const auto onNAS = stampFrom(entry.value(QLatin1StringView("onNAS")));
        if (!it.value().isObject() || !digest.isString() || !onNAS)
            return std::nullopt;
        state.verified.insert(it.key(), {digest.toString(), *onNAS});
    }
    const QJsonValue found = top->value(QLatin1StringView("foundOnNAS"));
    if (!found.isUndefined() && !found.isObject())
        return std::nullopt;
    const QJsonObject foundObject = found.toObject();
    for (auto it = foundObject.begin(); it != foundObject.end(); ++it) {
        const auto known =
            std::find_if(std::begin(foundStates), std::end(foundStates), [&](const auto &entry) {
                return it.value().toString() == QLatin1StringView(entry.second);
            });
        if (known == std::end(foundStates))
            return std::nullopt;
        state.foundOnNAS.insert(it.key(), known->first);
    }
    return state;
}

} // namespace tessera::RunRecord
