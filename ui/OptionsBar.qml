import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The EDL and rename options on the left, the note for the reel check team on the right.
Rectangle {
    id: bar
    required property AppModel model

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
        spacing: 24
        ColumnLayout {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 300
            Layout.maximumWidth: 330
            spacing: 4
            SquareCheck {
                text: "NEW EDL"
                checked: bar.model.newEDL
                onToggled: bar.model.newEDL = checked
                tip: bar.model.edlFileName.length === 0
                     ? "Tick only if a new EDL is already in the drop folder."
                     : "Your EDL goes in as " + bar.model.edlNameForVersion + "."
            }
            SquareCheck {
                Layout.fillWidth: true
                text: "ALSO RENAME MY ORIGINAL FILES"
                checked: bar.model.renameOriginals
                onToggled: bar.model.renameOriginals = checked
                tip: "After the copy and submission work, your own files get the same names as on the NAS. Nothing is overwritten."
            }
            RenameList {
                Layout.fillWidth: true
                Layout.leftMargin: 24
                model: bar.model
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 4
            Label { text: "Note for the reel check (optional)" }
            SquareArea {
                Layout.fillWidth: true
                // Two lines at first, growing to three.
                Layout.preferredHeight: Math.min(Math.max(edit.contentHeight, 2 * lineHeight), 3 * lineHeight) + 12
                readonly property real lineHeight: fontInfo.height
                placeholderText: "Anything the reel check team should know"
                text: bar.model.note
                frame: bar.model.note.length > 2000 ? Theme.problem : Theme.lineStrong
                onEdited: (text) => { if (text !== bar.model.note) bar.model.note = text }
                FontMetrics { id: fontInfo; font.pixelSize: 13 }
            }
        }
    }
}
