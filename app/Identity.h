#pragma once

#include "app/Task.h"
#include "app/Workflow.h"
#include "core/reelcheck/SlackUser.h"

#include <QList>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace tessera {

class Settings;

// Who the editor is: picked from the Slack user list, or a typed name. Remembers both in the
// settings for the next start.
class Identity : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(tessera::Workflow::UsersState usersState READ usersState NOTIFY usersChanged)
    Q_PROPERTY(QVariantMap me READ meForView NOTIFY meChanged)
    Q_PROPERTY(QString userQuery READ userQuery WRITE setUserQuery NOTIFY userQueryChanged)
    Q_PROPERTY(QVariantList foundUsers READ foundUsers NOTIFY foundUsersChanged)
    Q_PROPERTY(QString typedName READ typedName NOTIFY userQueryChanged)
    Q_PROPERTY(bool typedNameCut READ typedNameCut NOTIFY userQueryChanged)
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(bool nameFits READ nameFits NOTIFY nameChanged)

public:
    // The longest name a submission may carry, in characters.
    static constexpr int maxNameLength = 60;

    Identity(Settings &settings, const Service &service, QObject *parent = nullptr);
    ~Identity() override;

    QString editor() const { return m_editor; }
    UsersState usersState() const { return m_usersState; }
    const QList<SlackUser> &slackUsers() const { return m_slackUsers; }
    const std::optional<SlackUser> &me() const { return m_me; }
    QString userQuery() const { return m_userQuery; }

    void setEditor(const QString &editor);
    void setMe(const std::optional<SlackUser> &me);
    void setUserQuery(const QString &query);

    // The name and Slack id that go on a submission and a help request: the picked user while
    // the list is loaded, else the typed name, trimmed.
    EditorIdentity::Identity identity() const;
    QString name() const { return identity().editor; }
    // The name has between 1 and maxNameLength characters (as the editor sees them: an emoji is
    // one).
    bool nameFits() const;

    Q_INVOKABLE void pickUser(const QString &id);
    // "Use": the typed text (trimmed, at most maxNameLength characters) becomes the name; the
    // pick is cleared.
    Q_INVOKABLE void useTypedName(const QString &typed);
    Q_INVOKABLE void loadSlackUsers();
    // The list as it arrived: the picked user is matched against it by id.
    void takeUsers(const QList<SlackUser> &users);

    QVariantMap meForView() const;
    QVariantList foundUsers() const;
    // The search text as "Use" would take it.
    QString typedName() const;
    // The search text is longer than a name may be: Use would take only its beginning.
    bool typedNameCut() const;

Q_SIGNALS:
    void editorChanged();
    void usersChanged();
    void meChanged();
    void userQueryChanged();
    void foundUsersChanged();
    void nameChanged();
    // The service answered (true) or could not be reached (false).
    void serviceReached(bool reached);

private:
    void setUsers(UsersState state, const QList<SlackUser> &users);
    void listFailed(bool unreachable);
    static QCoro::Task<> load(QPointer<Identity> self, Task task);

    Settings &m_settings;
    const Service &m_service;
    QString m_editor;
    QList<SlackUser> m_slackUsers;
    UsersState m_usersState = UsersState::loading;
    std::optional<SlackUser> m_me;
    QString m_userQuery;
    Task m_task;
};

} // namespace tessera
