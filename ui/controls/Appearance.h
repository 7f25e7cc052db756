#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QUrl>
#include <QtQml/qqml.h>

#include <optional>

class QQmlEngine;
class QJSEngine;

namespace tessera {

// Light or dark, as the desktop says: the settings portal's org.freedesktop.appearance
// color-scheme, followed live, else the lightness of the application palette. Also whether the
// desktop asks for less motion, and the organisation's logo when the build carries one.
class Appearance : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY changed)
    Q_PROPERTY(QUrl logo READ logo CONSTANT)

public:
    explicit Appearance(QDBusConnection bus = QDBusConnection::sessionBus(),
                        QObject *parent = nullptr);
    ~Appearance() override;

    // QML's instance is the one the application made; the engine never owns it.
    static Appearance *create(QQmlEngine *, QJSEngine *);

    bool dark() const { return m_dark; }
    bool reduceMotion() const { return m_reduceMotion; }
    QUrl logo() const;

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void take(const QString &group, const QString &key, const QVariant &value);
    void update();

    QDBusConnection m_bus;
    std::optional<bool> m_portalDark; // none: the desktop states no preference
    bool m_animationsOff = false;
    bool m_dark = false;
    bool m_reduceMotion = false;
};

} // namespace tessera
