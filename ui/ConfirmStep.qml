import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The second step: the reel, every file with its new name, problems and surface, the options,
// and "Copy and submit".
Item {
    id: step
    required property AppModel model

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            ReelPicker {
                Layout.preferredWidth: 230
                Layout.fillHeight: true
                model: step.model
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
                            readonly property bool picked: step.model.selectedReel.name !== undefined
                            text: picked ? step.model.selectedReel.name : "Pick one on the left"
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
                            text: step.model.version
                            color: Theme.ink
                            font.pixelSize: 15
                        }
                    }
                }

                ReelWarnings {
                    Layout.fillWidth: true
                    model: step.model
                }

                // The reel's completeness note.
                Rectangle {
                    Layout.fillWidth: true
                    visible: step.model.completenessWarning.length > 0
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
                            text: step.model.completenessWarning
                            color: Theme.warning
                            font.pixelSize: 12
                            wrapMode: Text.Wrap
                        }
                    }
                }

                FilesTable {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    model: step.model
                }
            }
        }

        OptionsBar {
            Layout.fillWidth: true
            model: step.model
        }

        Footer {
            Layout.fillWidth: true
            SquareButton {
                text: "Back"
                onClicked: step.model.backToDrop()
            }
            Item { Layout.fillWidth: true }
            TextLine {
                Layout.fillWidth: true
                Layout.maximumWidth: implicitWidth
                visible: step.model.submitBlocker.length > 0
                text: step.model.submitBlocker
                color: Theme.muted
                font.pixelSize: 12
                horizontalAlignment: Text.AlignRight
                wrapMode: Text.Wrap
            }
            SquareButton {
                id: submit
                text: step.model.selectedReel.name !== undefined
                      ? "Copy and submit " + step.model.selectedReel.name : "Copy and submit"
                primary: true
                enabled: step.model.canSubmit
                onClicked: step.model.startCopy()
            }
        }
    }

    // "Copy and submit" is the window's default action.
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: step.model.canSubmit && !step.model.helpOpen
        onActivated: step.model.startCopy()
    }
}
