import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// One status line: the tone's symbol and a 13-point text that wraps as far as it needs.
RowLayout {
    id: message
    property string tone: "muted"
    property string text

    spacing: 6
    Symbol {
        Layout.alignment: Qt.AlignTop
        Layout.topMargin: 3
        name: Theme.toneSymbol(message.tone)
        color: Theme.tone(message.tone)
        size: 11
        bold: true
    }
    TextLine {
        Layout.fillWidth: true
        text: message.text
        color: Theme.tone(message.tone) === Theme.muted ? Theme.muted : Theme.ink
        font.pixelSize: 13
        wrapMode: Text.Wrap
    }
}
