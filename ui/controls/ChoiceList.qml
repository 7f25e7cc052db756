import QtQuick
import QtQuick.Controls.Basic as B

// A list whose rows are chosen with the keys as with the pointer: the arrows, Page Up and Down,
// Home and End move the current row, Space and Return choose it. The current row holds the
// keyboard while the list has it, so that a screen reader follows; Tab leaves the list.
ListView {
    id: list
    signal chosen(int index)
    // The row that was current before the last move.
    property Item previous: null

    activeFocusOnTab: true
    keyNavigationEnabled: true
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    B.ScrollBar.vertical: B.ScrollBar {}
    Accessible.role: Accessible.List

    // Keys from the field that searches the list: Down enters it at the top.
    function enter() {
        if (count === 0)
            return
        if (currentIndex < 0)
            currentIndex = 0
        forceActiveFocus(Qt.TabFocusReason)
    }
    function choose() {
        if (currentIndex >= 0 && currentIndex < count)
            chosen(currentIndex)
    }

    onActiveFocusChanged: if (activeFocus && currentItem) currentItem.forceActiveFocus(Qt.TabFocusReason)
    onCurrentItemChanged: {
        if (currentItem && (activeFocus || (previous && previous.activeFocus)))
            currentItem.forceActiveFocus(Qt.TabFocusReason)
        previous = currentItem
    }

    Keys.onReturnPressed: choose()
    Keys.onEnterPressed: choose()
    Keys.onSpacePressed: choose()
    // The rows are not in the Tab chain, the list is: from a row, Tab goes on past the list.
    Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
    Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_Home) {
            currentIndex = 0
        } else if (event.key === Qt.Key_End) {
            currentIndex = count - 1
        } else {
            event.accepted = false
            return
        }
        event.accepted = true
    }
}
