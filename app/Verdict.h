#pragma once

#include "app/Task.h"
#include "app/Timing.h"
#include "core/reelcheck/WireRecords.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace tessera {

// The reel check's side of a submission once the service has it: its status, followed every few
// seconds until the verdict, whether the service can be reached, and its health.
class Verdict : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY submissionChanged)
    Q_PROPERTY(QStringList problems READ problems NOTIFY submissionChanged)
    Q_PROPERTY(bool waitingForFiles READ waitingForFiles NOTIFY submissionChanged)
    Q_PROPERTY(QVariant number READ numberForView NOTIFY submissionChanged)
    Q_PROPERTY(QDateTime submittedAt READ submittedAtForView NOTIFY submissionChanged)
    Q_PROPERTY(QDateTime finishedAt READ finishedAtForView NOTIFY submissionChanged)
    Q_PROPERTY(bool pollTrouble READ pollTrouble NOTIFY pollTroubleChanged)
    Q_PROPERTY(bool healthDegraded READ healthDegraded NOTIFY healthChanged)
    Q_PROPERTY(QString healthDegradedMessage READ healthDegradedMessage CONSTANT)

public:
    Verdict(const Service &service, const Timing &timing, QObject *parent = nullptr);
    ~Verdict() override;

    const std::optional<SubmissionStatus> &submission() const { return m_submission; }
    std::optional<qint64> number() const { return m_number; }
    std::optional<QDateTime> submittedAt() const { return m_submittedAt; }
    std::optional<QDateTime> finishedAt() const { return m_finishedAt; }
    bool pollTrouble() const { return m_pollTrouble; }
    const std::optional<Health> &health() const { return m_health; }

    // The service confirmed a submission of this number at this time.
    void begin(std::optional<qint64> number, const QDateTime &submittedAt);
    // Asks for the submission's status every few seconds until it is final.
    void follow(const QString &submissionID);
    // Stops following.
    void stop();
    // Stops and forgets the submission and the health.
    void reset();
    // Reads the service's health beside the run or the polling, without holding either up; a
    // read still under way is let finish rather than started again.
    void checkHealth();
    // Shows a submission as it is given.
    void show(const SubmissionStatus &status, const std::optional<QDateTime> &submittedAt,
              const std::optional<QDateTime> &finishedAt);

    QString status() const { return m_submission ? m_submission->status : QString(); }
    QStringList problems() const { return m_submission ? m_submission->problems : QStringList(); }
    bool waitingForFiles() const { return m_submission && m_submission->waitingForFiles; }
    QVariant numberForView() const { return m_number ? QVariant(*m_number) : QVariant(); }
    QDateTime submittedAtForView() const { return m_submittedAt.value_or(QDateTime()); }
    QDateTime finishedAtForView() const { return m_finishedAt.value_or(QDateTime()); }
    bool healthDegraded() const { return m_health && m_health->isDegraded(); }
    QString healthDegradedMessage() const { return Health::degradedMessage.toString(); }

Q_SIGNALS:
    void submissionChanged();
    void pollTroubleChanged();
    void healthChanged();
    // A final status arrived.
    void concluded();
    // The service answered that it does not know the submission; following it has stopped.
    void forgotten();
    void serviceReached(bool reached);

private:
    void setSubmission(const std::optional<SubmissionStatus> &status);
    void setPollTrouble(bool trouble);
    void setHealth(const std::optional<Health> &health);
    static QCoro::Task<> poll(QPointer<Verdict> self, Task task, QString id);
    static QCoro::Task<> readHealth(QPointer<Verdict> self, Task task);

    const Service &m_service;
    const Timing &m_timing;
    std::optional<SubmissionStatus> m_submission;
    std::optional<qint64> m_number;
    std::optional<QDateTime> m_submittedAt;
    std::optional<QDateTime> m_finishedAt;
    bool m_pollTrouble = false;
    std::optional<Health> m_health;
    Task m_poll;
    Task m_healthTask;
    bool m_readingHealth = false;
};

} // namespace tessera
