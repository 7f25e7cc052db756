import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// One dropped file: its name, its surface (or a muted detail) and a small remove button.
Item {
    id: line
    property string fileName
    property string slotSurface
    property string slotLabel
    property string slotProxyLabel
    property string detail
    signal remove()

    implicitHeight: row.implicitHeight + 12
    RowLayout {
        id: row
        anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter }
        spacing: 10
        TextLine {
            Layout.maximumWidth: line.width * 0.6
            text: line.fileName
            color: Theme.ink
            font.pixelSize: 13
            elide: Text.ElideMiddle
        }
        SurfaceName {
            visible: line.slotSurface.length > 0
            surface: line.slotSurface
            label: line.slotLabel
            proxyLabel: line.slotProxyLabel
        }
        TextLine {
            visible: line.slotSurface.length === 0
            text: line.detail
            color: Theme.muted
            font.pixelSize: 12
        }
        Item { Layout.fillWidth: true }
        LinkButton {
            text: "Remove " + line.fileName
            tint: Theme.muted
            contentItem: Symbol {
                name: "xmark"
                size: 10
                color: Theme.muted
            }
            padding: 4
            HoverTip { text: "Remove" }
            onClicked: line.remove()
        }
    }
    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 1
        color: Theme.line
    }
}
