import QtQuick
import QtQuick.Templates as T
import Tessera.Controls

// A plain text button in the select colour, for small actions beside text.
T.Button {
    id: link
    property int pixelSize: 12
    property real tracking: 0
    property color tint: Theme.select

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    padding: 2
    focusPolicy: Qt.StrongFocus
    opacity: down ? 0.7 : 1.0
    Accessible.name: text
    Accessible.onPressAction: if (enabled) clicked()
    Keys.onReturnPressed: if (enabled) clicked()
    Keys.onEnterPressed: if (enabled) clicked()

    contentItem: Text {
        text: link.text
        color: link.tint
        font.pixelSize: link.pixelSize
        font.letterSpacing: link.tracking
        font.underline: link.hovered
    }
    background: Item {
        FocusRing { shown: link.visualFocus; inset: -1 }
    }
}
