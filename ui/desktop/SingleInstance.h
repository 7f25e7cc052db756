#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

namespace tessera {

// One running Tessera per desktop session. The first instance owns the application's name on the
// session bus and answers the freedesktop Application interface there, so that a second launch
// (or the desktop's own activation) hands its files over and the second process can exit. Without
// a session bus every launch runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr auto applicationID = "com.kestrel.Tessera";

    explicit SingleInstance(QDBusConnection bus = QDBusConnection::sessionBus(),
                            QObject *parent = nullptr);

    // Takes the application's name on the bus. When another instance holds it, hands `files`
    // to that one and answers false: this process should exit. True when this process goes on
    // (it is the first, or there is no bus, or the other instance does not answer).
    bool claim(const QList<QUrl> &files);

    // The object path of the application, made from its id: /com/kestrel/Tessera.
    static QString objectPath();

Q_SIGNALS:
    // Another launch, or the desktop, asked to show the window, with files to add (maybe none).
    void activated(const QList<QUrl> &files);

private:
    friend class ApplicationAdaptor;
    QDBusConnection m_bus;
};

} // namespace tessera
