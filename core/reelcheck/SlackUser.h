#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace tessera {

// One member of the production's Slack, as the reel check service lists them.
struct SlackUser
{
    QString id;
    QString name;     // the Slack handle
    QString realName; // the person's full name

    // The name shown to people and sent as the editor name: the trimmed real name, else the handle.
    QString display() const;

    friend bool operator==(const SlackUser &, const SlackUser &) = default;
};

inline size_t qHash(const SlackUser &user, size_t seed = 0)
{
    return qHashMulti(seed, user.id, user.name, user.realName);
}

namespace SlackUserSearch {

// The users to show for the typed query, sorted by display name. Every query word must begin one
// of the user's words (real name and handle, split at blanks, full stops, underscores, hyphens).
QList<SlackUser> filter(const QList<SlackUser> &users, const QString &query);

// Case- and diacritic-insensitive form, blanks trimmed: "Tomé " and "TOME" both give "tome".
QString fold(const QString &text);

} // namespace SlackUserSearch

namespace EditorIdentity {

struct Identity
{
    QString editor;
    std::optional<QString> slackUserID;

    friend bool operator==(const Identity &, const Identity &) = default;
};

// A pick from the list counts only while the list is available; otherwise the typed name, trimmed.
Identity resolve(bool listAvailable, const std::optional<SlackUser> &picked, const QString &typed);

} // namespace EditorIdentity

namespace Wire {

std::optional<SlackUser> slackUserFromObject(const QJsonObject &object);
QJsonObject toObject(const SlackUser &user);
QByteArray write(const SlackUser &user);
std::optional<SlackUser> readSlackUser(const QByteArray &json);

// A bare array of users, or an object whose "users" holds that array.
std::optional<QList<SlackUser>> readSlackUsers(const QByteArray &json);
// The object form.
QByteArray writeSlackUsers(const QList<SlackUser> &users);

} // namespace Wire
} // namespace tessera
