import QtQuick
import QtQuick.Templates as T
import QtQuick.Controls.Basic as B
import Tessera.Controls

// The window's button: square corners, 12-point semibold tracked text; primary ones are filled.
T.Button {
    id: button
    property bool primary: false
    property string tip

    implicitWidth: Math.max(implicitBackgroundWidth, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight, implicitContentHeight + topPadding + bottomPadding)
    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    focusPolicy: Qt.StrongFocus
    opacity: down && enabled ? 0.7 : 1.0
    Accessible.name: text
    Accessible.onPressAction: if (enabled) clicked()
    // Return presses the focused button, as Space does: the step's default action never sees it.
    Keys.onReturnPressed: if (enabled) clicked()
    Keys.onEnterPressed: if (enabled) clicked()
    B.ToolTip.visible: hovered && tip.length > 0
    B.ToolTip.text: tip
    B.ToolTip.delay: 600

    contentItem: Text {
        text: button.text
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.letterSpacing: 0.8
        color: button.primary ? (button.enabled ? Theme.ground : Theme.muted)
                              : (button.enabled ? Theme.ink : Theme.muted)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitHeight: 28
        color: button.primary ? (button.enabled ? Theme.ink : Theme.line) : "transparent"
        border.width: button.primary ? 0 : 1
        border.color: button.enabled ? Theme.lineStrong : Theme.line
        FocusRing { shown: button.visualFocus }
    }
}
