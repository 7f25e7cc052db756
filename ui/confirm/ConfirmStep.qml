import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The second step: the reel, every file with its new name, problems and surface, the options,
// and "Copy and submit".
FocusScope {
    id: step
    required property AppModel app
    readonly property ReelChoice reels: app.reels
    readonly property Confirmation confirmation: app.confirmation

    function settleFocus() {
        picker.takeFocus()
    }
    function submitByDefault() {
        if (step.confirmation.canSubmit && !step.app.help.open)
            step.app.startCopy()
    }

    // "Copy and submit" is the step's default action: Return reaches it from a text field or from
    // nothing in particular, never from a button, check box or list, which take Return themselves.
    Keys.onReturnPressed: submitByDefault()
    Keys.onEnterPressed: submitByDefault()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            ReelPicker {
                id: picker
                Layout.preferredWidth: 230
                Layout.fillHeight: true
                reels: step.reels
            }
            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.line
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.margins: 20
                spacing: 12

                RowLayout {
                    spacing: 32
                    Column {
                        spacing: 3
                        Label { text: "Reel" }
                        TextLine {
                            readonly property bool picked: step.reels.selectedReel.name !== undefined
                            text: picked ? step.reels.selectedReel.name : "Pick one on the left"
                            color: picked ? Theme.ink : Theme.muted
                            font.family: picked ? Theme.monospace : ""
                            font.pixelSize: 15
                            font.bold: true
                        }
                    }
                    Column {
                        spacing: 3
                        Label { text: "Version" }
                        TextLine {
                            text: step.confirmation.version
                            color: Theme.ink
                            font.pixelSize: 15
                        }
                    }
                }

                ReelWarnings {
                    Layout.fillWidth: true
                    reels: step.reels
                }

                // The reel's completeness note.
                Rectangle {
                    Layout.fillWidth: true
                    visible: step.confirmation.completenessWarning.length > 0
                    implicitHeight: note.implicitHeight + 16
                    color: "transparent"
                    Canvas {
                        anchors.fill: parent
                        property color tint: Theme.warning
                        onTintChanged: requestPaint()
                        onWidthChanged: requestPaint()
                        onHeightChanged: requestPaint()
                        onPaint: {
                            const ctx = getContext("2d")
                            ctx.reset()
                            ctx.strokeStyle = tint
                            ctx.setLineDash([4, 3])
                            ctx.strokeRect(0.5, 0.5, width - 1, height - 1)
                        }
                    }
                    RowLayout {
                        id: note
                        anchors { fill: parent; margins: 8 }
                        spacing: 6
                        Symbol {
                            Layout.alignment: Qt.AlignTop
                            Layout.topMargin: 2
                            name: "circle.dotted"
                            size: 11
                            color: Theme.warning
                        }
                        TextLine {
                            Layout.fillWidth: true
                            text: step.confirmation.completenessWarning
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.Wrap
                        }
                    }
                }

                FilesTable {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    confirmation: step.confirmation
                    intake: step.app.intake
                }
            }
        }

        OptionsBar {
            Layout.fillWidth: true
            confirmation: step.confirmation
            hasEDL: step.app.intake.edlFileName.length > 0
            reelPicked: step.reels.selectedReel.name !== undefined
        }

        Footer {
            Layout.fillWidth: true
            SquareButton {
                text: "Back"
                onClicked: step.app.backToDrop()
            }
            Item { Layout.fillWidth: true }
            TextLine {
                Layout.fillWidth: true
                Layout.maximumWidth: implicitWidth
                visible: step.confirmation.submitBlocker.length > 0
                text: step.confirmation.submitBlocker
                color: Theme.muted
                font.pixelSize: 12
                horizontalAlignment: Text.AlignRight
                wrapMode: Text.Wrap
            }
            SquareButton {
                id: submit
                text: step.reels.selectedReel.name !== undefined
                      ? "Copy and submit " + step.reels.selectedReel.name : "Copy and submit"
                primary: true
                enabled: step.confirmation.canSubmit
                onClicked: step.app.startCopy()
            }
        }
    }
}
