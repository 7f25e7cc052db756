import QtQuick
import Tessera.Controls

// A tone's symbol and a word, both in the tone's colour.
Item {
    id: mark
    property string tone: "muted"
    property string word
    property string tip

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight
    Row {
        id: row
        spacing: 4
        Symbol {
            anchors.verticalCenter: parent.verticalCenter
            name: Theme.toneSymbol(mark.tone)
            color: Theme.tone(mark.tone)
            size: 11
            bold: true
        }
        TextLine {
            anchors.verticalCenter: parent.verticalCenter
            text: mark.word.toUpperCase()
            color: Theme.tone(mark.tone)
            font.pixelSize: 12
            font.bold: true
            font.letterSpacing: 0.8
        }
    }
    HoverTip { text: mark.tip }
}
