import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The reel list with its search; a press picks the reel.
ColumnLayout {
    id: picker
    required property ReelChoice reels
    readonly property bool hasReels: reels.reels.length > 0

    function searchReturn(event) {
        event.accepted = search.text.trim().length > 0
        if (event.accepted && list.count > 0)
            list.chosen(Math.max(0, list.currentIndex))
    }

    function takeFocus() {
        search.forceActiveFocus(Qt.TabFocusReason)
    }

    spacing: 8
    Label {
        Layout.topMargin: 20
        Layout.leftMargin: 16
        text: "Reel"
    }
    SquareField {
        id: search
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        placeholderText: "Search, for example TST 1"
        text: picker.reels.query
        onTextEdited: picker.reels.query = text
        // Down goes into the list; Return after a search picks the reel the list is on, and goes
        // no further (an empty field leaves Return to the step).
        Keys.onDownPressed: list.enter()
        Keys.onReturnPressed: (event) => picker.searchReturn(event)
        Keys.onEnterPressed: (event) => picker.searchReturn(event)
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
    ChoiceList {
        id: list
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.bottomMargin: 8
        visible: picker.hasReels
        model: picker.reels.foundReels
        Accessible.name: "Reels"
        onChosen: (index) => picker.reels.pickReel(picker.reels.foundReels[index].id)
        delegate: ChoiceRow {
            id: reelRow
            required property var modelData
            readonly property bool isPicked: modelData.id === picker.reels.selectedReel.id
            width: list.width
            leftPadding: 16
            rightPadding: 16
            topPadding: 6
            bottomPadding: 6
            text: modelData.name
            isChosen: isPicked
            Accessible.name: modelData.name
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
            onClicked: list.chosen(index)
        }
    }
    Item {
        Layout.fillHeight: true
        visible: !list.visible
    }
}
