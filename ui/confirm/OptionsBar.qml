import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The EDL and rename options on the left, the note for the reel check team on the right.
Rectangle {
    id: bar
    required property Confirmation confirmation
    required property bool hasEDL
    required property bool reelPicked

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
                checked: bar.confirmation.newEDL
                onToggled: bar.confirmation.newEDL = checked
                tip: !bar.hasEDL
                     ? "Tick only if a new EDL is already in the drop folder."
                     : "Your EDL goes in as " + bar.confirmation.edlNameForVersion + "."
            }
            SquareCheck {
                Layout.fillWidth: true
                text: "ALSO RENAME MY ORIGINAL FILES"
                checked: bar.confirmation.renameOriginals
                onToggled: bar.confirmation.renameOriginals = checked
                tip: "After the copy and submission work, your own files get the same names as on the NAS. Nothing is overwritten."
            }
            RenameList {
                Layout.fillWidth: true
                Layout.leftMargin: 24
                confirmation: bar.confirmation
                reelPicked: bar.reelPicked
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
                text: bar.confirmation.note
                frame: bar.confirmation.noteTooLong ? Theme.problem : Theme.lineStrong
                onEdited: (text) => { if (text !== bar.confirmation.note) bar.confirmation.note = text }
                FontMetrics { id: fontInfo; font.pixelSize: 13 }
            }
        }
    }
}
