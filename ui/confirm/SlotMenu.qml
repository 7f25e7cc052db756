import QtQuick
import QtQuick.Controls.Basic as B
import Tessera
import Tessera.Controls

// A movie's surface: the "Pick" or "Clash" badge, and a borderless menu of the six surfaces.
Row {
    id: slot
    required property Confirmation confirmation
    required property Intake intake
    property string fileID
    property string fileName
    property string surface
    property string surfaceLabel
    property string proxyLabel
    property string badge // "Pick", "Clash" or nothing

    spacing: 8
    StatusMark {
        anchors.verticalCenter: parent.verticalCenter
        visible: slot.badge.length > 0
        tone: slot.badge === "Clash" ? "problem" : "warning"
        word: slot.badge
    }
    B.AbstractButton {
        id: opener
        anchors.verticalCenter: parent.verticalCenter
        padding: 2
        focusPolicy: Qt.StrongFocus
        text: slot.surface.length > 0 ? slot.surfaceLabel : "CHOOSE"
        Accessible.role: Accessible.ButtonMenu
        Accessible.name: "Surface of " + slot.fileName + ": "
                         + (slot.surface.length > 0 ? slot.surfaceLabel : "not chosen")
        Accessible.onPressAction: if (enabled) clicked()
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        contentItem: Row {
            spacing: 4
            SurfaceName {
                anchors.verticalCenter: parent.verticalCenter
                visible: slot.surface.length > 0
                surface: slot.surface
                label: slot.surfaceLabel
                proxyLabel: slot.proxyLabel
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: slot.surface.length === 0
                text: "CHOOSE"
                color: Theme.ink
                font.pixelSize: 12
                font.weight: Font.DemiBold
                font.letterSpacing: 0.8
            }
            Symbol {
                anchors.verticalCenter: parent.verticalCenter
                name: "chevron.right"
                rotation: 90
                size: 8
                color: Theme.muted
            }
        }
        background: Rectangle {
            color: opener.hovered || opener.visualFocus ? Theme.hover : "transparent"
            FocusRing { shown: opener.visualFocus; inset: -1 }
        }
        onClicked: {
            // The keys start on the surface in force, or on the first.
            const surfaces = slot.confirmation.surfaces
            menu.currentIndex = Math.max(0, surfaces.findIndex(s => s.surface === slot.surface))
            menu.popup(opener, 0, opener.height)
        }
    }
    PopupName {
        popup: menu
        name: menu.title
    }
    B.Menu {
        id: menu
        title: "Surface of " + slot.fileName
        // The keyboard goes back to the chooser, which Qt would leave to the window.
        onClosed: opener.forceActiveFocus(Qt.TabFocusReason)
        Repeater {
            model: slot.confirmation.surfaces
            B.MenuItem {
                required property var modelData
                text: modelData.label
                checkable: true
                checked: modelData.surface === slot.surface
                Accessible.name: text
                Accessible.checkable: true
                Accessible.checked: checked
                Accessible.onPressAction: if (enabled) triggered()
                onTriggered: {
                    slot.intake.setSurface(slot.fileID, modelData.surface)
                    // A press toggles the mark; it follows the surface in force instead.
                    checked = Qt.binding(() => modelData.surface === slot.surface)
                }
            }
        }
    }
}
