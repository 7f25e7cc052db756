import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// The copy's progress line, its percentage and a bar.
ColumnLayout {
    id: panel
    property var transfer

    spacing: 6
    RowLayout {
        Layout.fillWidth: true
        spacing: 10
        TextLine {
            Layout.fillWidth: true
            text: panel.transfer ? panel.transfer.line : ""
            color: Theme.ink
            font.pixelSize: 12
            // Words about the NAS are read whole; figures may lose their tail.
            wrapMode: panel.transfer && panel.transfer.held ? Text.Wrap : Text.NoWrap
            elide: panel.transfer && panel.transfer.held ? Text.ElideNone : Text.ElideRight
        }
        TextLine {
            text: (panel.transfer ? panel.transfer.percent : 0) + "%"
            color: Theme.ink
            font.family: Theme.monospace
            font.pixelSize: 12
        }
    }
    Bar {
        Layout.fillWidth: true
        implicitHeight: 6
        fraction: panel.transfer ? panel.transfer.fraction : 0
    }
}
