#include "ui/controls/Appearance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>

namespace tessera {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString gnomeInterfaceGroup = QStringLiteral("org.gnome.desktop.interface");

Appearance *theInstance = nullptr;

// The portal wraps each value in one more variant than it needs to (Read), or not (the signal).
QVariant unwrapped(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

Appearance::Appearance(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    theInstance = this;
    qApp->installEventFilter(this);
    if (m_bus.isConnected()) {
        m_bus.connect(portalService, portalPath, settingsInterface,
                      QStringLiteral("SettingChanged"), this,
                      SLOT(settingChanged(QString, QString, QDBusVariant)));
        // Only a portal that already runs is asked: starting one on demand can take seconds.
        if (m_bus.interface()->isServiceRegistered(portalService)) {
            for (const auto &[group, key] :
                 {std::pair{appearanceGroup, QStringLiteral("color-scheme")},
                  std::pair{gnomeInterfaceGroup, QStringLiteral("enable-animations")}}) {
                QDBusMessage read = QDBusMessage::createMethodCall(
                    portalService, portalPath, settingsInterface, QStringLiteral("Read"));
                read << group << key;
                const QDBusMessage reply = m_bus.call(read, QDBus::Block, 1000);
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                    take(group, key, unwrapped(reply.arguments().first()));
            }
        }
    }
    update();
}

Appearance::~Appearance()
{
    if (theInstance == this)
        theInstance = nullptr;
}

Appearance *Appearance::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(theInstance, QJSEngine::CppOwnership);
    return theInstance;
}

QUrl Appearance::logo() const
{
    static const bool present = QFile::exists(QStringLiteral(":/Tessera/kestrel-logo.png"));
    return present ? QUrl(QStringLiteral("qrc:/Tessera/kestrel-logo.png")) : QUrl();
}

void Appearance::settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    take(group, key, unwrapped(value.variant()));
    update();
}

void Appearance::take(const QString &group, const QString &key, const QVariant &value)
{
    if (group == appearanceGroup && key == u"color-scheme") {
        // 1 prefers dark, 2 prefers light, 0 states no preference.
        const uint scheme = value.toUInt();
        m_portalDark = scheme == 1   ? std::optional(true)
                       : scheme == 2 ? std::optional(false)
                                     : std::nullopt;
    } else if (group == gnomeInterfaceGroup && key == u"enable-animations") {
        m_animationsOff = value.typeId() == QMetaType::Bool && !value.toBool();
    }
}

bool Appearance::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        update();
    return QObject::eventFilter(watched, event);
}

void Appearance::update()
{
    const bool dark =
        m_portalDark.value_or(QGuiApplication::palette().color(QPalette::Window).lightness() < 128);
    if (dark == m_dark && m_animationsOff == m_reduceMotion)
        return;
    m_dark = dark;
    m_reduceMotion = m_animationsOff;
    Q_EMIT changed();
}

} // namespace tessera
