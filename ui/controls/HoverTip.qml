import QtQuick
import QtQuick.Controls.Basic as B
import Tessera.Controls

// Hover help for the item it fills: shown after a short pause while the pointer rests on it.
Item {
    id: tip
    property string text

    anchors.fill: parent
    Accessible.ignored: true
    HoverHandler {
        id: hover
        enabled: tip.text.length > 0
    }
    B.ToolTip {
        visible: hover.hovered && tip.text.length > 0
        text: tip.text
        delay: 600
        font.pixelSize: 12
        contentItem: Text {
            text: tip.text
            font.pixelSize: 12
            color: Theme.ink
            wrapMode: Text.Wrap
        }
        background: Rectangle {
            color: Theme.panel
            border.color: Theme.lineStrong
        }
    }
}
