#include "ui/desktop/DesktopFeedback.h"

#include "app/CopyRun.h"
#include "app/Verdict.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>

namespace tessera {

DesktopFeedback::DesktopFeedback(CopyRun *run, Verdict *verdict, QDBusConnection bus,
                                 QObject *parent)
    : QObject(parent)
    , m_run(run)
    , m_verdict(verdict)
    , m_bus(std::move(bus))
{
    connect(run, &CopyRun::phaseChanged, this, &DesktopFeedback::phaseChanged);
    connect(run, &CopyRun::transferChanged, this, &DesktopFeedback::transferChanged);
}

void DesktopFeedback::phaseChanged()
{
    if (!m_run || !m_verdict)
        return;
    const QString reel = m_run->reelName();
    switch (m_run->phaseKind()) {
    case Phase::Kind::finished: {
        const QString status = m_verdict->status();
        const QString notice = m_run->state().submissionID.value_or(QString()) + u'\n' + status;
        if (notice == m_lastNotice ||
            (status != SubmissionStatus::readyText && status != SubmissionStatus::needsFixingText))
            return;
        m_lastNotice = notice;
        notify(status, status == SubmissionStatus::readyText
                           ? QStringLiteral("%1 is ready for QLab.").arg(reel)
                           : QStringLiteral("The reel check found problems in %1. Open Tessera to "
                                            "see them.")
                                 .arg(reel));
        return;
    }
    case Phase::Kind::failed:
        m_lastNotice.clear();
        notify(QStringLiteral("Copy and submit stopped"), m_run->failureMessage());
        return;
    default:
        return;
    }
}

void DesktopFeedback::transferChanged()
{
    if (!m_run)
        return;
    const auto &transfer = m_run->transfer();
    showProgress(transfer ? std::optional(transfer->fraction) : std::nullopt);
}

void DesktopFeedback::notify(const QString &summary, const QString &body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Tessera") << 0u << QStringLiteral("com.kestrel.Tessera") << summary
         << body << QStringList() << QVariantMap{} << -1;
    // Not waited for: a desktop without a notification service just never answers.
    m_bus.asyncCall(call);
}

void DesktopFeedback::showProgress(std::optional<double> fraction)
{
    if (!m_bus.isConnected() || (!fraction && !m_progressShown))
        return;
    m_progressShown = fraction.has_value();
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/com/kestrel/Tessera/launcher"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    signal << QStringLiteral("application://") + QLatin1StringView(desktopFile)
           << QVariantMap{{QStringLiteral("progress"), fraction.value_or(0.0)},
                          {QStringLiteral("progress-visible"), fraction.has_value()}};
    m_bus.send(signal);
}

} // namespace tessera
