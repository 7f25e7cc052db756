#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace tessera {

class CopyRun;
class Verdict;

// Tells the desktop how a run goes while the editor works elsewhere: a notification when the
// reel check's verdict arrives or a run stops with a failure, and the copy's progress on the
// launcher icon. Silent where the desktop offers no such service.
class DesktopFeedback : public QObject
{
    Q_OBJECT

public:
    // The desktop file the launcher entry belongs to.
    static constexpr auto desktopFile = "com.kestrel.Tessera.desktop";

    DesktopFeedback(CopyRun *run, Verdict *verdict,
                    QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

private:
    void phaseChanged();
    void transferChanged();
    void notify(const QString &summary, const QString &body);
    void showProgress(std::optional<double> fraction);

    QPointer<CopyRun> m_run;
    QPointer<Verdict> m_verdict;
    QDBusConnection m_bus;
    QString m_lastNotice; // what was last told, so that a verdict polled again is told once
    bool m_progressShown = false;
};

} // namespace tessera
