#include "app/Verdict.h"

#include "app/Change.h"

namespace tessera {

Verdict::Verdict(const Service &service, const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_timing(timing)
{}

Verdict::~Verdict()
{
    m_poll.cancel();
    m_healthTask.cancel();
}

void Verdict::setSubmission(const std::optional<SubmissionStatus> &status)
{
    m_submission = status;
    Q_EMIT submissionChanged();
}

void Verdict::setPollTrouble(bool trouble)
{
    if (change(m_pollTrouble, trouble))
        Q_EMIT pollTroubleChanged();
}

void Verdict::setHealth(const std::optional<Health> &health)
{
    if (change(m_health, health))
        Q_EMIT healthChanged();
}

void Verdict::begin(std::optional<qint64> number, const QDateTime &submittedAt)
{
    m_number = number;
    m_submittedAt = submittedAt;
    Q_EMIT submissionChanged();
}

void Verdict::follow(const QString &submissionID)
{
    m_poll.cancel();
    m_poll = Task::with(m_service);
    poll(this, m_poll, submissionID);
}

void Verdict::stop()
{
    m_poll.cancel();
}

void Verdict::reset()
{
    stop();
    m_healthTask.cancel();
    m_readingHealth = false;
    m_number.reset();
    m_submittedAt.reset();
    m_finishedAt.reset();
    setSubmission(std::nullopt);
    setHealth(std::nullopt);
}

void Verdict::show(const SubmissionStatus &status, const std::optional<QDateTime> &submittedAt,
                   const std::optional<QDateTime> &finishedAt)
{
    m_number = status.number;
    m_submittedAt = submittedAt;
    m_finishedAt = finishedAt;
    setSubmission(status);
}

void Verdict::checkHealth()
{
    if (m_readingHealth)
        return;
    m_readingHealth = true;
    m_healthTask = Task::with(m_service);
    readHealth(this, m_healthTask);
}

QCoro::Task<> Verdict::readHealth(QPointer<Verdict> self, Task task)
{
    const Result<Health> health = co_await task.api.health();
    if (!alive(self, task))
        co_return;
    self->m_readingHealth = false;
    if (health) {
        self->setHealth(health.value());
        Q_EMIT self->serviceReached(true);
    } else if (health.error().is<APIError::Unreachable>()) {
        Q_EMIT self->serviceReached(false);
    }
}

QCoro::Task<> Verdict::poll(QPointer<Verdict> self, Task task, QString id)
{
    for (;;) {
        if (!alive(self, task))
            co_return;
        self->checkHealth();
        const Result<SubmissionStatus> status = co_await task.api.submission(id);
        if (!alive(self, task))
            co_return;
        if (status) {
            Q_EMIT self->serviceReached(true);
            if (status.value().number)
                self->m_number = status.value().number;
            const bool final = status.value().isFinal();
            if (final && !self->m_finishedAt)
                self->m_finishedAt = QDateTime::currentDateTime();
            self->setSubmission(status.value());
            self->setPollTrouble(false);
            if (final) {
                Q_EMIT self->concluded();
                co_return;
            }
        } else if (const auto *http = status.error().as<APIError::Http>();
                   http && http->statusCode == 404) {
            // The service answered, and no longer has the submission: asking again won't help.
            Q_EMIT self->serviceReached(true);
            self->setPollTrouble(false);
            Q_EMIT self->forgotten();
            co_return;
        } else {
            self->setPollTrouble(true);
        }
        co_await task.alarm->sleep(self->m_timing.pollInterval);
    }
}

} // namespace tessera
