#include "ui/desktop/SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tessera {

// org.freedesktop.Application on the first instance's object.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *owner)
        : QDBusAbstractAdaptor(owner)
        , m_owner(owner)
    {}

public Q_SLOTS:
    void Activate(const QVariantMap &) { Q_EMIT m_owner->activated({}); }

    void Open(const QStringList &uris, const QVariantMap &)
    {
        QList<QUrl> files;
        for (const QString &uri : uris) {
            const QUrl url(uri);
            if (url.isLocalFile())
                files << url;
        }
        Q_EMIT m_owner->activated(files);
    }

    // Tessera has no actions of its own; asking for one just shows the window.
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &)
    {
        Q_EMIT m_owner->activated({});
    }

private:
    SingleInstance *m_owner;
};

SingleInstance::SingleInstance(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{}

QString SingleInstance::objectPath()
{
    return u'/' + QString::fromLatin1(applicationID).replace(u'.', u'/');
}

bool SingleInstance::claim(const QList<QUrl> &files)
{
    if (!m_bus.isConnected())
        return true;
    const QString name = QString::fromLatin1(applicationID);
    // Without queueing: when the name is taken, the answer is at once "not ours".
    const auto reply =
        m_bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        new ApplicationAdaptor(this);
        m_bus.registerObject(objectPath(), this);
        return true;
    }

    QDBusMessage call;
    if (files.isEmpty()) {
        call = QDBusMessage::createMethodCall(name, objectPath(),
                                              QStringLiteral("org.freedesktop.Application"),
                                              QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        QStringList uris;
        for (const QUrl &file : files)
            uris << file.toString(QUrl::FullyEncoded);
        call = QDBusMessage::createMethodCall(name, objectPath(),
                                              QStringLiteral("org.freedesktop.Application"),
                                              QStringLiteral("Open"));
        call << uris << QVariantMap();
    }
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, 5000);
    // A first instance that does not answer is no reason to lose the files: run on our own.
    return answer.type() != QDBusMessage::ReplyMessage;
}

} // namespace tessera

#include "SingleInstance.moc"
