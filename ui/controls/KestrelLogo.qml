import QtQuick
import Tessera.Controls

// The organisation's logo at the given height; the word KESTREL when the build carries no image.
Item {
    id: logo
    property real logoHeight: 16

    implicitHeight: logoHeight
    implicitWidth: Appearance.logo.toString() ? image.implicitWidth * logoHeight / Math.max(1, image.implicitHeight)
                                              : word.implicitWidth
    Image {
        id: image
        anchors.fill: parent
        visible: Appearance.logo.toString().length > 0
        source: Appearance.logo
        fillMode: Image.PreserveAspectFit
        Accessible.ignored: true
    }
    TextLine {
        id: word
        anchors.verticalCenter: parent.verticalCenter
        visible: !image.visible
        text: "KESTREL"
        color: Theme.ink
        font.pixelSize: logo.logoHeight * 0.8
        font.letterSpacing: 2
    }
}
