import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The reel list with its search; a press picks the reel.
ColumnLayout {
    id: picker
    required property ReelChoice reels
    readonly property bool hasReels: reels.reels.length > 0

    spacing: 8
    Label {
        Layout.topMargin: 20
        Layout.leftMargin: 16
        text: "Reel"
    }
    SquareField {
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        placeholderText: "Search, for example TST 1"
        text: picker.reels.query
        onTextEdited: picker.reels.query = text
    }
    TextLine {
        Layout.leftMargin: 16
        visible: picker.reels.loadingReels && !picker.hasReels
        text: "Loading reels"
        color: Theme.muted
        font.pixelSize: 12
    }
    ColumnLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        visible: picker.reels.reelsError.length > 0 && !picker.hasReels
        spacing: 6
        Label { text: "No reel list" }
        TextLine {
            Layout.fillWidth: true
            text: picker.reels.reelsError
            color: Theme.ink
            font.pixelSize: 12
            wrapMode: Text.Wrap
        }
        SquareButton {
            text: "Try again"
            onClicked: picker.reels.loadReels()
        }
    }
    TextLine {
        Layout.leftMargin: 16
        visible: picker.reels.noReelMatches
        text: "No reel matches."
        color: Theme.muted
        font.pixelSize: 12
    }
    ListView {
        id: list
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.bottomMargin: 8
        visible: picker.hasReels
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: picker.reels.foundReels
        B.ScrollBar.vertical: B.ScrollBar {}
        delegate: B.ItemDelegate {
            id: reelRow
            required property var modelData
            readonly property bool isPicked: modelData.id === picker.reels.selectedReel.id
            width: list.width
            leftPadding: 16
            rightPadding: 16
            topPadding: 6
            bottomPadding: 6
            text: modelData.name
            Accessible.name: modelData.name
            Accessible.onPressAction: if (enabled) clicked()
            background: Rectangle {
                color: reelRow.isPicked ? Theme.select
                       : reelRow.hovered || reelRow.visualFocus ? Theme.hover : "transparent"
            }
            contentItem: RowLayout {
                spacing: 6
                Text {
                    Layout.fillWidth: true
                    text: reelRow.modelData.name
                    color: reelRow.isPicked ? Theme.ground : Theme.ink
                    font.family: Theme.monospace
                    font.pixelSize: 13
                    elide: Text.ElideRight
                }
                Symbol {
                    visible: reelRow.isPicked
                    name: "checkmark"
                    size: 11
                    bold: true
                    color: Theme.ground
                }
            }
            onClicked: picker.reels.pickReel(modelData.id)
        }
    }
    Item {
        Layout.fillHeight: true
        visible: !list.visible
    }
}
