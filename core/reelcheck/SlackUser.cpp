#include "core/reelcheck/SlackUser.h"

#include "core/naming/Blanks.h"
#include "core/reelcheck/StrictJSON.h"

#include <QCollator>

#include <algorithm>

namespace tessera {

QString SlackUser::display() const
{
    const QString real = Blanks::trimmed(realName);
    return real.isEmpty() ? name : real;
}

namespace SlackUserSearch {

QString fold(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            stripped.append(c);
    }
    return Blanks::trimmed(stripped.toCaseFolded());
}

namespace {

QStringList words(const QString &folded, bool splitAtPunctuation)
{
    QStringList result;
    QString current;
    for (QChar c : folded) {
        const bool separator =
            c == u' ' || (splitAtPunctuation && (c == u'.' || c == u'_' || c == u'-'));
        if (separator) {
            if (!current.isEmpty())
                result.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        result.append(current);
    return result;
}

} // namespace

QList<SlackUser> filter(const QList<SlackUser> &users, const QString &query)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QList<SlackUser> sorted = users;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const SlackUser &a, const SlackUser &b) {
        return collator.compare(a.display(), b.display()) < 0;
    });

    const QStringList queryWords = words(fold(query), false);
    if (queryWords.isEmpty())
        return sorted;

    QList<SlackUser> kept;
    for (const SlackUser &user : std::as_const(sorted)) {
        const QStringList userWords = words(fold(user.realName + u' ' + user.name), true);
        const bool matches =
            std::all_of(queryWords.begin(), queryWords.end(), [&](const QString &q) {
                return std::any_of(userWords.begin(), userWords.end(),
                                   [&](const QString &w) { return w.startsWith(q); });
            });
        if (matches)
            kept.append(user);
    }
    return kept;
}

} // namespace SlackUserSearch

namespace EditorIdentity {

Identity resolve(bool listAvailable, const std::optional<SlackUser> &picked, const QString &typed)
{
    if (listAvailable && picked)
        return {picked->display(), picked->id};
    return {typed.trimmed(), std::nullopt};
}

} // namespace EditorIdentity

namespace Wire {

std::optional<SlackUser> slackUserFromObject(const QJsonObject &object)
{
    StrictJSON::ObjectReader r(object);
    SlackUser user{r.requiredString(QLatin1StringView("id")),
                   r.stringOrEmpty(QLatin1StringView("name")),
                   r.stringOrEmpty(QLatin1StringView("real_name"))};
    if (!r.ok())
        return std::nullopt;
    return user;
}

QJsonObject toObject(const SlackUser &user)
{
    return {{QLatin1StringView("id"), user.id},
            {QLatin1StringView("name"), user.name},
            {QLatin1StringView("real_name"), user.realName}};
}

QByteArray write(const SlackUser &user)
{
    return StrictJSON::bytes(toObject(user));
}

std::optional<SlackUser> readSlackUser(const QByteArray &json)
{
    return StrictJSON::read(json, &slackUserFromObject);
}

std::optional<QList<SlackUser>> readSlackUsers(const QByteArray &json)
{
    if (const auto items = StrictJSON::array(json))
        return StrictJSON::listOf(*items, &slackUserFromObject);
    const auto object = StrictJSON::object(json);
    if (!object)
        return std::nullopt;
    StrictJSON::ObjectReader r(*object);
    const QJsonArray items = r.requiredArray(QLatin1StringView("users"));
    if (!r.ok())
        return std::nullopt;
    return StrictJSON::listOf(items, &slackUserFromObject);
}

QByteArray writeSlackUsers(const QList<SlackUser> &users)
{
    QJsonArray items;
    for (const SlackUser &user : users)
        items.append(toObject(user));
    return StrictJSON::bytes({{QLatin1StringView("users"), items}});
}

} // namespace Wire
} // namespace tessera
