import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// What the file names say against the picked reel, or that it is the reel of last time.
ColumnLayout {
    id: warnings
    required property ReelChoice reels
    readonly property bool picked: reels.selectedReel.name !== undefined
    readonly property bool mismatch: picked && reels.reelMismatches.length > 0
    readonly property bool sameAsKept: picked && !mismatch && reels.keptReel.id !== undefined
                                       && reels.keptReel.id === reels.selectedReel.id

    visible: mismatch || sameAsKept
    spacing: 0

    Rectangle {
        Layout.fillWidth: true
        visible: warnings.mismatch
        implicitHeight: box.implicitHeight + 20
        color: "transparent"
        border.width: 1
        border.color: Theme.problem
        ColumnLayout {
            id: box
            anchors { fill: parent; margins: 10 }
            spacing: 8
            RowLayout {
                spacing: 6
                Symbol {
                    Layout.alignment: Qt.AlignTop
                    Layout.topMargin: 3
                    name: "xmark"
                    size: 11
                    bold: true
                    color: Theme.problem
                }
                TextLine {
                    Layout.fillWidth: true
                    text: warnings.reels.mismatchText
                    color: Theme.ink
                    font.pixelSize: 13
                    wrapMode: Text.Wrap
                }
            }
            Flow {
                Layout.fillWidth: true
                spacing: 8
                visible: warnings.reels.mismatchSuggestions.length > 0
                Repeater {
                    model: warnings.reels.mismatchSuggestions
                    SquareButton {
                        required property var modelData
                        text: "Use " + modelData.name
                        onClicked: warnings.reels.pickReel(modelData.id)
                    }
                }
            }
            SquareCheck {
                Layout.fillWidth: true
                text: "I'm sure these are for " + (warnings.reels.selectedReel.name ?? "")
                checked: warnings.reels.reelConfirmed
                onToggled: warnings.reels.reelConfirmed = checked
            }
        }
    }

    RowLayout {
        visible: warnings.sameAsKept
        spacing: 6
        Symbol {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 2
            name: "arrow.uturn.backward"
            size: 12
            color: Theme.ink
        }
        TextLine {
            Layout.fillWidth: true
            text: "Same reel as last time: " + (warnings.reels.keptReel.name ?? "")
                  + ". Pick another if these files are for a different reel."
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
        }
    }
}
