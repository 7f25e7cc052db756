#include "ui/ProgressAccessible.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace tessera {

namespace {

QAccessibleInterface *progressFactory(const QString &, QObject *object)
{
    // The window's Bar: a Qt Quick progress bar that names its bounds for this.
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !item->inherits("QQuickProgressBar") || !item->property("maximumValue").isValid())
        return nullptr;
    return new ProgressAccessible(item);
}

} // namespace

ProgressAccessible::ProgressAccessible(QQuickItem *bar)
    : QAccessibleObject(bar)
{}

void ProgressAccessible::install()
{
    QAccessible::installFactory(progressFactory);
}

QQuickItem *ProgressAccessible::bar() const
{
    return static_cast<QQuickItem *>(object());
}

QAccessibleInterface *ProgressAccessible::parent() const
{
    // The nearest item that assistive technology sees, else the window.
    for (QQuickItem *up = bar()->parentItem(); up; up = up->parentItem())
        if (QAccessibleInterface *found = QAccessible::queryAccessibleInterface(up))
            return found;
    return QAccessible::queryAccessibleInterface(bar()->window());
}

QWindow *ProgressAccessible::window() const
{
    return bar()->window();
}

QString ProgressAccessible::text(QAccessible::Text type) const
{
    if (type != QAccessible::Name)
        return {};
    return QStringLiteral("%1 percent").arg(currentValue().toInt());
}

QAccessible::State ProgressAccessible::state() const
{
    QAccessible::State state;
    state.invisible = !bar()->isVisible() || !bar()->window() || !bar()->window()->isVisible();
    state.readOnly = true;
    return state;
}

QRect ProgressAccessible::rect() const
{
    const QQuickWindow *shown = bar()->window();
    if (!shown)
        return {};
    const QRectF scene = bar()->mapRectToScene(QRectF(0, 0, bar()->width(), bar()->height()));
    return QRect(shown->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

void *ProgressAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return nullptr;
}

QVariant ProgressAccessible::currentValue() const
{
    return bar()->property("value");
}

QVariant ProgressAccessible::maximumValue() const
{
    return bar()->property("maximumValue");
}

QVariant ProgressAccessible::minimumValue() const
{
    return bar()->property("minimumValue");
}

} // namespace tessera
