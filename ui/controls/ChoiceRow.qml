import QtQuick
import QtQuick.Controls.Basic as B
import Tessera.Controls

// A row of a ChoiceList: chosen with a press, drawn as the keyboard's row while the list has the
// focus, filled in the select colour when it is the choice in force.
B.ItemDelegate {
    id: row
    required property int index
    property bool isChosen: false
    readonly property bool keyed: activeFocus

    // The list takes the keyboard from Tab and gives it to its current row.
    focusPolicy: Qt.NoFocus
    Accessible.role: Accessible.ListItem
    Accessible.selectable: true
    Accessible.selected: isChosen
    Accessible.onPressAction: if (enabled) clicked()
    background: Rectangle {
        color: row.isChosen ? Theme.select : row.hovered || row.keyed ? Theme.hover : "transparent"
        FocusRing {
            shown: row.keyed
            inset: 1
            onSelect: row.isChosen
        }
    }
    onPressed: ListView.view.currentIndex = index
}
