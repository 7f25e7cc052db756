// Following a confirmed submission until the reel check's verdict, and help requests.

#include "app/AppModel.h"

#include <QPointer>

namespace tessera {

namespace {

bool alive(const QPointer<AppModel> &self, const std::shared_ptr<bool> &cancelled)
{
    return self && !*cancelled;
}

} // namespace

struct PollLoop
{
    static QCoro::Task<> poll(QPointer<AppModel> self, AppModel::Task task, QString id)
    {
        for (;;) {
            if (!alive(self, task.cancelled))
                co_return;
            AppModel::readHealth(self, task);
            const Result<SubmissionStatus> status = co_await task.api.submission(id);
            if (!alive(self, task.cancelled))
                co_return;
            if (status) {
                self->m_vx9OK = true;
                self->setSubmission(status.value());
                if (status.value().number)
                    self->m_submissionNumber = status.value().number;
                self->setPollTrouble(false);
                if (status.value().isFinal()) {
                    if (!self->m_finishedAt)
                        self->m_finishedAt = QDateTime::currentDateTime();
                    Q_EMIT self->submissionChanged();
                    self->setPhase({Phase::Kind::finished, {}});
                    co_return;
                }
            } else {
                self->setPollTrouble(true);
            }
            co_await task.alarm->sleep(self->m_timing.pollInterval);
        }
    }

    static QCoro::Task<> sendHelp(QPointer<AppModel> self, AppModel::Task task, HelpRequest request)
    {
        const Result<Done> sent = co_await task.api.help(request);
        if (!alive(self, task.cancelled))
            co_return;
        if (sent) {
            self->setHelpMessage(QString());
            self->setHelpState({HelpState::Kind::sent, {}});
        } else if (!HelpReport::shouldFallBack(sent.error())) {
            self->setHelpState({HelpState::Kind::failed, sent.error().description()});
        } else {
            // The message must never be lost: it goes on the clipboard and into a Slack chat.
            self->m_desktop.copyText(HelpReport::summary(request));
            self->m_desktop.openURL(HelpReport::slackURL());
            self->setHelpState({HelpState::Kind::fellBack, {}});
        }
    }
};

void AppModel::startPolling()
{
    m_poll.cancel();
    if (!m_submissionID)
        return;
    m_poll = newTask();
    PollLoop::poll(this, m_poll, *m_submissionID);
}

void AppModel::openHelp()
{
    if (m_helpState.kind != HelpState::Kind::sending)
        setHelpState({HelpState::Kind::editing, {}});
    setHelpOpen(true);
}

void AppModel::sendHelp()
{
    if (!HelpReport::isValid(m_helpMessage) || m_helpState.kind == HelpState::Kind::sending)
        return;
    if (m_isDemo) {
        setHelpMessage(QString());
        return setHelpState({HelpState::Kind::sent, {}});
    }
    const HelpRequest request = helpRequest();
    setHelpState({HelpState::Kind::sending, {}});
    m_helpTask = newTask();
    PollLoop::sendHelp(this, m_helpTask, request);
}

} // namespace tessera
