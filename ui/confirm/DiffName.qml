import QtQuick
import Tessera.Controls

// A new name in runs: what it shares with the old name muted, what is new in bold ink underlined
// in the select colour. Read out, and shown on hover, as the whole name.
Item {
    id: diff
    property string fullName
    property var segments: []

    implicitWidth: runs.implicitWidth
    implicitHeight: runs.implicitHeight
    clip: true
    Accessible.role: Accessible.StaticText
    Accessible.name: fullName
    Row {
        id: runs
        Repeater {
            model: diff.segments
            Text {
                required property var modelData
                text: modelData.text
                color: modelData.changed ? Theme.ink : Theme.muted
                font.family: Theme.monospace
                font.pixelSize: 11
                font.bold: modelData.changed
                Accessible.ignored: true
                Rectangle {
                    visible: parent.modelData.changed
                    anchors { left: parent.left; right: parent.right; top: parent.baseline; topMargin: 2 }
                    height: 1
                    color: Theme.select
                }
            }
        }
    }
    HoverTip { text: diff.fullName }
}
