import QtQuick
import QtQuick.Templates as T
import QtQuick.Controls.Basic as B
import Tessera.Controls

// A check box with a square box and a 12-point semibold tracked title.
T.CheckBox {
    id: check
    property string tip

    implicitWidth: implicitIndicatorWidth + implicitContentWidth + leftPadding + rightPadding + spacing
    implicitHeight: Math.max(implicitIndicatorHeight, implicitContentHeight) + topPadding + bottomPadding
    padding: 2
    spacing: 8
    focusPolicy: Qt.StrongFocus
    Accessible.name: text
    Accessible.onToggleAction: { toggle(); toggled() }
    // Return ticks the focused box, as Space does, rather than reaching the step's default action.
    Keys.onReturnPressed: { toggle(); toggled() }
    Keys.onEnterPressed: { toggle(); toggled() }
    B.ToolTip.visible: hovered && tip.length > 0
    B.ToolTip.text: tip
    B.ToolTip.delay: 600

    indicator: Rectangle {
        x: check.leftPadding
        y: check.topPadding + (check.availableHeight - height) / 2
        implicitWidth: 14
        implicitHeight: 14
        color: check.checked ? Theme.ink : Theme.ground
        border.width: 1
        border.color: Theme.lineStrong
        Symbol {
            anchors.centerIn: parent
            size: 10
            name: "checkmark"
            bold: true
            color: Theme.ground
            visible: check.checked
        }
    }
    background: Item {
        FocusRing { shown: check.visualFocus; inset: -1 }
    }
    contentItem: Text {
        leftPadding: check.indicator.width + check.spacing
        text: check.text
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.letterSpacing: 0.8
        color: Theme.ink
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.Wrap
    }
}
