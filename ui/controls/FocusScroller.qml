import QtQuick

// Keeps the control that has the keyboard in sight in a scrolled view: Tab to a control below
// the visible area scrolls to it.
Item {
    id: keeper
    property Flickable flickable
    readonly property Item focused: Window.activeFocusItem
    readonly property real margin: 8

    visible: false
    onFocusedChanged: {
        if (!focused || !flickable)
            return
        let inside = focused
        while (inside && inside !== flickable.contentItem)
            inside = inside.parent
        if (!inside)
            return
        const top = focused.mapToItem(flickable.contentItem, 0, 0).y - margin
        const bottom = top + focused.height + 2 * margin
        const last = Math.max(0, flickable.contentHeight - flickable.height)
        if (top < flickable.contentY)
            flickable.contentY = Math.max(0, top)
        else if (bottom > flickable.contentY + flickable.height)
            flickable.contentY = Math.min(last, bottom - flickable.height)
    }
}
