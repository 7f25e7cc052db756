#include "app/HelpDesk.h"

#include "app/Change.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

namespace tessera {

HelpDesk::HelpDesk(const Service &service, Desktop desktop, RequestSource source, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_desktop(std::move(desktop))
    , m_source(std::move(source))
{
    if (!m_desktop.copyText)
        m_desktop.copyText = [](const QString &text) {
            if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
                app->clipboard()->setText(text);
        };
    if (!m_desktop.openURL)
        m_desktop.openURL = [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

HelpDesk::~HelpDesk()
{
    m_task.cancel();
}

void HelpDesk::setOpen(bool open)
{
    if (change(m_open, open))
        Q_EMIT changed();
}

void HelpDesk::setMessage(const QString &message)
{
    if (change(m_message, message))
        Q_EMIT changed();
}

void HelpDesk::setState(const HelpState &state)
{
    if (change(m_state, state))
        Q_EMIT changed();
}

bool HelpDesk::canSend() const
{
    return HelpReport::isValid(m_message) && m_state.kind != HelpState::Kind::sending;
}

void HelpDesk::openHelp()
{
    if (m_state.kind != HelpState::Kind::sending)
        setState({HelpState::Kind::editing, {}});
    setOpen(true);
}

void HelpDesk::send()
{
    if (!canSend())
        return;
    const HelpRequest request = m_source(m_message.trimmed());
    setState({HelpState::Kind::sending, {}});
    m_task = Task::with(m_service);
    sendRequest(this, m_task, request);
}

QCoro::Task<> HelpDesk::sendRequest(QPointer<HelpDesk> self, Task task, HelpRequest request)
{
    const Result<Done> sent = co_await task.api.help(request);
    if (!alive(self, task))
        co_return;
    if (sent) {
        self->setMessage(QString());
        self->setState({HelpState::Kind::sent, {}});
    } else if (!HelpReport::shouldFallBack(sent.error())) {
        self->setState({HelpState::Kind::failed, sent.error().description()});
    } else {
        // The message must never be lost: it goes on the clipboard and into a Slack chat.
        self->m_desktop.copyText(HelpReport::summary(request));
        self->m_desktop.openURL(HelpReport::slackURL());
        self->setState({HelpState::Kind::fellBack, {}});
    }
}

} // namespace tessera
