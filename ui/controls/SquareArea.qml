import QtQuick
import QtQuick.Controls.Basic as B
import Tessera.Controls

// A plain multi-line text field in a 1-point square frame; it scrolls when the text is longer.
B.ScrollView {
    id: area
    property alias text: edit.text
    property alias placeholderText: edit.placeholderText
    property alias edit: edit
    property color frame: Theme.lineStrong
    signal edited(string text)

    clip: true
    B.TextArea {
        id: edit
        font.pixelSize: 13
        color: Theme.ink
        selectionColor: Theme.select
        selectedTextColor: Theme.ground
        placeholderTextColor: Theme.muted
        wrapMode: TextEdit.Wrap
        selectByMouse: true
        leftPadding: 8
        rightPadding: 8
        topPadding: 6
        bottomPadding: 6
        background: null
        Accessible.name: placeholderText
        // Tab goes on to the next control: nobody needs a tab character in a note.
        Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
        Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
        onTextChanged: area.edited(text)
    }
    background: Rectangle {
        color: Theme.ground
        border.width: edit.activeFocus ? 2 : 1
        border.color: edit.activeFocus && area.frame === Theme.lineStrong ? Theme.select : area.frame
    }
}
