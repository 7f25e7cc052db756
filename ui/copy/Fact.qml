import QtQuick
import Tessera.Controls

// One caption and its value in the copy step's header.
Column {
    property string label
    property string value

    spacing: 3
    Label { text: parent.label }
    TextLine {
        text: parent.value
        color: Theme.ink
        font.family: Theme.monospace
        font.pixelSize: 15
        font.bold: true
    }
}
