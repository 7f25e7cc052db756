// Tessera on a private session bus: handing files to the running instance, notifications of a
// verdict and copy progress on the launcher.

#include "app/AppModel.h"
#include "ui/desktop/DesktopFeedback.h"
#include "ui/desktop/SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

using namespace tessera;

namespace {

// A dbus-daemon of the test's own.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=/usr/share/dbus-1/session.conf"),
                        QStringLiteral("--print-address=1"), QStringLiteral("--nofork")});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect(const QString &name) const
    {
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
};

// What the desktop's notification service was asked to show.
class FakeNotifications : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotifications(QObject *owner)
        : QDBusAbstractAdaptor(owner)
    {}
    QStringList summaries;
    QStringList bodies;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        summaries << summary;
        bodies << body;
        return uint(summaries.size());
    }
};

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<QVariantMap> m_launcher;

public Q_SLOTS:
    void launcherUpdate(const QString &, const QVariantMap &properties)
    {
        m_launcher << properties;
    }

private Q_SLOTS:
    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        PrivateBus bus;
        SingleInstance first(bus.connect(QStringLiteral("first")));
        QSignalSpy activated(&first, &SingleInstance::activated);
        QVERIFY(first.claim({}));

        const QList<QUrl> files{QUrl::fromLocalFile(QStringLiteral("/tmp/a b.mov")),
                                QUrl::fromLocalFile(QStringLiteral("/tmp/cut.edl"))};
        // The second launch waits for the first to answer, so it runs on a thread of its own.
        const QFuture<bool> second = QtConcurrent::run(
            [&] { return SingleInstance(bus.connect(QStringLiteral("second"))).claim(files); });
        QTRY_VERIFY(second.isFinished());
        QCOMPARE(second.result(), false);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).value<QList<QUrl>>(), files);

        // Without a bus, every launch runs on its own.
        SingleInstance alone(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none")));
        QVERIFY(alone.claim(files));
    }

    void aVerdictIsToldOnceAndProgressShowsOnTheLauncher()
    {
        PrivateBus bus;
        QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
        QObject service;
        auto *notifications = new FakeNotifications(&service);
        QVERIFY(desktop.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service));
        QVERIFY(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(desktop.connect(
            QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
            QStringLiteral("Update"), this, SLOT(launcherUpdate(QString, QVariantMap))));

        put(QStringLiteral("00_TST_Reel1_awall.mov"));
        put(QStringLiteral("00_TST_Reel1_floor.mov"));
        qputenv("TESSERA_DEMO_DIR", m_dir.filePath(QStringLiteral("demo")).toUtf8());
        const auto unset = qScopeGuard([] {
            qunsetenv("TESSERA_DEMO");
            qunsetenv("TESSERA_DEMO_DIR");
        });

        qputenv("TESSERA_DEMO", "copying");
        auto model = makeModel();
        DesktopFeedback feedback(model->run(), model->verdict(),
                                 bus.connect(QStringLiteral("app")));
        model->loadDemoIfAsked();
        QTRY_COMPARE(m_launcher.size(), 1);
        QCOMPARE(m_launcher.at(0).value(QStringLiteral("progress")).toDouble(), 0.39);
        QCOMPARE(m_launcher.at(0).value(QStringLiteral("progress-visible")).toBool(), true);
        model->startOver();
        QTRY_COMPARE(m_launcher.size(), 2);
        QCOMPARE(m_launcher.at(1).value(QStringLiteral("progress-visible")).toBool(), false);
        QCOMPARE(notifications->summaries, QStringList());

        qputenv("TESSERA_DEMO", "fixing");
        model = makeModel();
        DesktopFeedback verdicts(model->run(), model->verdict(),
                                 bus.connect(QStringLiteral("app2")));
        model->loadDemoIfAsked();
        QTRY_COMPARE(notifications->summaries, QStringList{QStringLiteral("Needs fixing")});
        QVERIFY(notifications->bodies.first().contains(u"00_TST_Reel1"));
        QTest::qWait(200);
        QCOMPARE(notifications->summaries.size(), 1);
    }

private:
    void put(const QString &name)
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("demo")));
        QFile file(m_dir.filePath(QStringLiteral("demo/") + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    std::unique_ptr<AppModel> makeModel()
    {
        AppModel::Options options;
        options.settings = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("s.ini")),
                                                       QSettings::IniFormat);
        return std::make_unique<AppModel>(std::move(options));
    }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "DesktopTest.moc"
