import QtQuick
import QtQuick.Templates as T
import Tessera.Controls

// The window's text field: plain, on the ground colour, in a 1-point square frame.
T.TextField {
    id: field
    property color frame: Theme.lineStrong

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            placeholderText ? placeholder.implicitWidth + leftPadding + rightPadding : 0)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             contentHeight + topPadding + bottomPadding)
    leftPadding: 8
    rightPadding: 8
    topPadding: 6
    bottomPadding: 6
    font.pixelSize: 13
    color: Theme.ink
    selectionColor: Theme.select
    selectedTextColor: Theme.ground
    placeholderTextColor: Theme.muted
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    Accessible.name: placeholderText

    Text {
        id: placeholder
        x: field.leftPadding
        y: field.topPadding
        width: field.width - field.leftPadding - field.rightPadding
        height: field.height - field.topPadding - field.bottomPadding
        text: field.placeholderText
        font: field.font
        color: field.placeholderTextColor
        verticalAlignment: field.verticalAlignment
        elide: Text.ElideRight
        visible: !field.length && !field.preeditText
        Accessible.ignored: true
    }
    background: Rectangle {
        implicitWidth: 200
        implicitHeight: 30
        color: Theme.ground
        border.width: field.activeFocus ? 2 : 1
        border.color: field.activeFocus && field.frame === Theme.lineStrong ? Theme.select : field.frame
    }
}
