import QtQuick
import Tessera.Controls

// A section caption: upper case, 11 points, semibold, tracked, muted.
Text {
    font.pixelSize: 11
    font.weight: Font.DemiBold
    font.letterSpacing: 0.8
    font.capitalization: Font.AllUppercase
    color: Theme.muted
    elide: Text.ElideRight
    Accessible.role: Accessible.StaticText
    Accessible.name: text.toUpperCase()
}
