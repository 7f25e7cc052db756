#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqml.h>
#include <QtQml/qqmlparserstatus.h>

namespace tessera {

// Names a pop-up (a menu) for assistive technology: Qt Quick's Accessible cannot be attached to
// a popup, and a menu's title does not name it, so the name goes on the item that draws it.
class PopupName : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QObject *popup READ popup WRITE setPopup NOTIFY changed)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY changed)

public:
    explicit PopupName(QObject *parent = nullptr);

    QObject *popup() const { return m_popup; }
    void setPopup(QObject *popup);
    QString name() const { return m_name; }
    void setName(const QString &name);

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void changed();

private:
    void apply();

    QPointer<QObject> m_popup;
    QString m_name;
    bool m_complete = false;
};

} // namespace tessera
