import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// The bottom bar of a step: a rule above, the step's own controls in a row inside.
Rectangle {
    default property alias content: row.data

    implicitHeight: row.implicitHeight + 24
    color: Theme.ground
    Rectangle {
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 1
        color: Theme.line
    }
    RowLayout {
        id: row
        anchors { fill: parent; leftMargin: 20; rightMargin: 20; topMargin: 12; bottomMargin: 12 }
        spacing: 12
    }
}
