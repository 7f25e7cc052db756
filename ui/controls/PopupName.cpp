#include "ui/controls/PopupName.h"

#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>

namespace tessera {

PopupName::PopupName(QObject *parent)
    : QObject(parent)
{}

void PopupName::setPopup(QObject *popup)
{
    if (popup == m_popup)
        return;
    m_popup = popup;
    apply();
    Q_EMIT changed();
}

void PopupName::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    apply();
    Q_EMIT changed();
}

void PopupName::componentComplete()
{
    m_complete = true;
    apply();
}

void PopupName::apply()
{
    if (!m_complete || !m_popup)
        return;
    // The popup's content item sits in the item that draws the popup.
    const auto *content = m_popup->property("contentItem").value<QQuickItem *>();
    QQuickItem *drawn = content ? content->parentItem() : nullptr;
    if (!drawn)
        return;
    // "Accessible" is resolved through the imports of the file that made this object.
    QQmlProperty(drawn, QStringLiteral("Accessible.name"), qmlContext(this)).write(m_name);
}

} // namespace tessera
