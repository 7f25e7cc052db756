import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// What becomes of the editor's own files after the copy: a line, or a button that opens the list.
Item {
    id: list
    required property Confirmation confirmation
    required property bool reelPicked
    // The detail panel is shown.
    property bool open: false
    readonly property int renames: confirmation.plannedRenames.length
    readonly property int kept: confirmation.keptNames.length
    readonly property string line: !confirmation.renameOriginals ? "Your own files keep their names."
                                   : !reelPicked ? "Your files get the NAS names afterwards."
                                   : renames === 0 && kept === 0 ? "Your files already have the NAS names." : ""

    implicitWidth: line.length > 0 ? plain.implicitWidth : opener.implicitWidth
    implicitHeight: line.length > 0 ? plain.implicitHeight : opener.implicitHeight

    TextLine {
        id: plain
        width: parent.width
        visible: list.line.length > 0
        text: list.line
        color: Theme.muted
        font.pixelSize: 12
        wrapMode: Text.Wrap
    }
    LinkButton {
        id: opener
        visible: list.line.length === 0
        tint: Theme.ink
        text: list.renames === 0 ? "None of your files will be renamed"
              : "Your " + list.renames + " file" + (list.renames === 1 ? "" : "s") + " will be renamed to match the NAS"
        contentItem: Row {
            spacing: 4
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: opener.text
                color: Theme.ink
                font.pixelSize: 12
                font.underline: opener.hovered
            }
            Symbol {
                anchors.verticalCenter: parent.verticalCenter
                name: "chevron.right"
                size: 9
                color: Theme.ink
            }
        }
        onClicked: list.open = true
    }
    // A dialog for its name; it has no title bar.
    B.Dialog {
        id: panel
        title: "Renames of your files"
        header: null
        footer: null
        x: opener.width + 8
        y: -Math.max(0, height - opener.height)
        // Inside the window, however narrow: Qt moves the panel in from the window's edges.
        margins: 10
        width: Math.min(420, list.Window.width - 2 * margins)
        padding: 14
        visible: list.open
        // Key focus moves into the panel, so that Escape closes it.
        focus: true
        closePolicy: B.Popup.CloseOnEscape | B.Popup.CloseOnPressOutside
        onClosed: {
            list.open = false
            opener.forceActiveFocus(Qt.TabFocusReason)
        }
        background: Rectangle { color: Theme.ground; border.color: Theme.lineStrong }
        ColumnLayout {
            width: parent.width
            spacing: 6
            Label { text: "After the copy and submission work" }
            Repeater {
                model: list.confirmation.plannedRenames
                Column {
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 1
                    TextLine {
                        width: parent.width
                        text: parent.modelData.from
                        color: Theme.ink
                        font.pixelSize: 12
                        elide: Text.ElideMiddle
                    }
                    TextLine {
                        width: parent.width
                        text: "→ " + parent.modelData.to
                        color: Theme.ink
                        font.family: Theme.monospace
                        font.pixelSize: 11
                        elide: Text.ElideMiddle
                    }
                }
            }
            Repeater {
                model: list.confirmation.keptNames
                TextLine {
                    required property var modelData
                    Layout.fillWidth: true
                    text: modelData.name + " keeps its name: " + modelData.taken + " already exists in that folder."
                    color: Theme.ink
                    font.pixelSize: 12
                    wrapMode: Text.Wrap
                }
            }
            TextLine {
                Layout.fillWidth: true
                text: "Files already on the NAS and files that already have the NAS name are left alone. Nothing is overwritten."
                color: Theme.muted
                font.pixelSize: 11
                wrapMode: Text.Wrap
            }
        }
    }
}
