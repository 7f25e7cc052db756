#include "app/Identity.h"

#include "app/Change.h"
#include "app/ModelRows.h"
#include "app/Settings.h"
#include "core/naming/Characters.h"

namespace tessera {

Identity::Identity(Settings &settings, const Service &service, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_service(service)
{
    m_editor = settings.text(QStringLiteral("editorName"));
    const QString storedID = settings.text(QStringLiteral("slackUserID"));
    if (!storedID.isEmpty())
        m_me = SlackUser{storedID, QString(), settings.text(QStringLiteral("slackUserRealName"))};
}

Identity::~Identity()
{
    m_task.cancel();
}

void Identity::setEditor(const QString &editor)
{
    if (!change(m_editor, editor))
        return;
    m_settings.store(QStringLiteral("editorName"), editor);
    Q_EMIT editorChanged();
    Q_EMIT nameChanged();
}

void Identity::setMe(const std::optional<SlackUser> &me)
{
    if (!change(m_me, me))
        return;
    m_settings.store(QStringLiteral("slackUserID"), me ? QVariant(me->id) : QVariant());
    m_settings.store(QStringLiteral("slackUserRealName"), me ? QVariant(me->realName) : QVariant());
    Q_EMIT meChanged();
    Q_EMIT nameChanged();
}

void Identity::setUsers(UsersState state, const QList<SlackUser> &users)
{
    if (m_usersState == state && m_slackUsers == users)
        return;
    m_usersState = state;
    m_slackUsers = users;
    Q_EMIT usersChanged();
    Q_EMIT foundUsersChanged();
    Q_EMIT nameChanged();
}

void Identity::setUserQuery(const QString &query)
{
    if (!change(m_userQuery, query))
        return;
    Q_EMIT userQueryChanged();
    Q_EMIT foundUsersChanged();
}

EditorIdentity::Identity Identity::identity() const
{
    return EditorIdentity::resolve(m_usersState == UsersState::loaded, m_me, m_editor);
}

bool Identity::nameFits() const
{
    const qsizetype length = Characters::count(name());
    return length >= 1 && length <= maxNameLength;
}

void Identity::pickUser(const QString &id)
{
    for (const SlackUser &user : std::as_const(m_slackUsers))
        if (user.id == id)
            setMe(user);
}

void Identity::useTypedName(const QString &typed)
{
    const QString name = Characters::cut(typed.trimmed(), maxNameLength);
    if (name.isEmpty())
        return;
    setEditor(name);
    setMe(std::nullopt);
}

void Identity::loadSlackUsers()
{
    m_task.cancel();
    setUsers(UsersState::loading, m_slackUsers);
    m_task = Task::with(m_service);
    load(this, m_task);
}

QCoro::Task<> Identity::load(QPointer<Identity> self, Task task)
{
    const Result<QList<SlackUser>> result = co_await task.api.slackUsers();
    if (!alive(self, task))
        co_return;
    // An empty list is no answer: nobody could be picked from it.
    if (result && !result.value().isEmpty()) {
        Q_EMIT self->serviceReached(true);
        self->takeUsers(result.value());
    } else {
        self->listFailed(!result && result.error().is<APIError::Unreachable>());
    }
}

void Identity::takeUsers(const QList<SlackUser> &users)
{
    if (m_me) {
        const auto same = std::find_if(users.begin(), users.end(),
                                       [&](const SlackUser &user) { return user.id == m_me->id; });
        setMe(same == users.end() ? std::nullopt : std::optional(*same));
    }
    setUsers(UsersState::loaded, users);
}

void Identity::listFailed(bool unreachable)
{
    if (unreachable)
        Q_EMIT serviceReached(false);
    if (m_editor.isEmpty() && m_me && !m_me->realName.isEmpty())
        setEditor(m_me->realName);
    setUsers(UsersState::unavailable, m_slackUsers);
}

QVariantMap Identity::meForView() const
{
    return m_me ? ModelRows::user(*m_me) : QVariantMap();
}

QVariantList Identity::foundUsers() const
{
    QVariantList list;
    for (const SlackUser &user : SlackUserSearch::filter(m_slackUsers, m_userQuery))
        list << ModelRows::user(user);
    return list;
}

QString Identity::typedName() const
{
    return Characters::cut(m_userQuery.trimmed(), maxNameLength);
}

bool Identity::typedNameCut() const
{
    return typedName().size() < m_userQuery.trimmed().size();
}

} // namespace tessera
