#pragma once

#include <QAccessibleInterface>
#include <QAccessibleObject>
#include <QPointer>

class QQuickItem;

namespace tessera {

// The window's progress bars as assistive technology needs them: a progress bar with a value
// (Qt 6.4's Qt Quick offers a value only for sliders, spin boxes, dials and scroll bars).
class ProgressAccessible : public QAccessibleObject, public QAccessibleValueInterface
{
public:
    explicit ProgressAccessible(QQuickItem *bar);

    // Answers for the window's progress bars, nothing for the rest; installed once.
    static void install();

    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QWindow *window() const override;
    QString text(QAccessible::Text type) const override;
    QAccessible::Role role() const override { return QAccessible::ProgressBar; }
    QAccessible::State state() const override;
    QRect rect() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override { return 1; }

private:
    QQuickItem *bar() const;
};

} // namespace tessera
