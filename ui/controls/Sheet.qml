import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Templates as T
import Tessera.Controls

// A sheet over the window: square, framed, modal, closed with Escape, named for assistive
// technology by its title (a dialog without the title bar). The keyboard goes back to where it
// was when the sheet closes.
B.Dialog {
    id: sheet
    property Item returnFocus: null

    anchors.centerIn: parent
    modal: true
    focus: true
    padding: 20
    closePolicy: B.Popup.CloseOnEscape
    header: null
    footer: null
    background: Rectangle { color: Theme.ground; border.color: Theme.lineStrong }
    T.Overlay.modal: Rectangle { color: Theme.dark ? "#99000000" : "#66000000" }
    onAboutToShow: returnFocus = T.ApplicationWindow.window ? T.ApplicationWindow.window.activeFocusItem : null
    onClosed: {
        if (returnFocus && returnFocus.visible && returnFocus.enabled)
            returnFocus.forceActiveFocus(Qt.TabFocusReason)
        returnFocus = null
    }
}
