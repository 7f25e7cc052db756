import QtQuick
import Tessera.Controls

// A surface's name in its colour, and the proxy's label after it when the slot is a proxy.
Row {
    property string surface // raw value: "awall" …
    property string label // "A wall" …
    property string proxyLabel

    spacing: 5
    TextLine {
        id: name
        text: parent.label
        color: Theme.surface(parent.surface)
        font.pixelSize: 14
        font.bold: true
    }
    TextLine {
        anchors.baseline: name.baseline
        visible: text.length > 0
        text: parent.proxyLabel
        color: Theme.muted
        font.pixelSize: 12
    }
}
