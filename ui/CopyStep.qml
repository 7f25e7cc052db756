import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The third step: where the run stands, the transfer, the reel check's result, every file, and
// the buttons to stop, retry or go on.
Item {
    id: step
    required property AppModel model
    readonly property string phase: model.phaseName
    readonly property bool submitted: !isNaN(model.submittedAt.getTime())

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            Layout.bottomMargin: 14
            spacing: 32
            Fact { label: "Reel"; value: step.model.selectedReel.name ?? "" }
            Fact { label: "Version"; value: step.model.version }
            Item { Layout.fillWidth: true }
            CheckStatus { model: step.model }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 14
            spacing: 10

            Message {
                Layout.fillWidth: true
                visible: step.phase === "failed"
                tone: "problem"
                text: step.model.failureMessage
            }
            Message {
                Layout.fillWidth: true
                visible: step.model.planningLine.length > 0
                tone: "muted"
                text: step.model.planningLine + "…"
            }
            Message {
                Layout.fillWidth: true
                visible: step.model.healthDegraded && step.phase !== "finished"
                tone: "warning"
                text: step.submitted ? step.model.healthDegradedMessage
                      : "VX9 can't check reels right now. Tessera still copies and submits your files; the check will run when it's back. Vesko has been told."
            }
            Message {
                Layout.fillWidth: true
                visible: step.phase === "confirming"
                tone: "warning"
                text: "Checking whether VX9 got it…"
            }
            TransferPanel {
                Layout.fillWidth: true
                visible: step.model.transfer !== undefined && step.model.transfer !== null
                transfer: step.model.transfer
            }
            ResultView {
                Layout.fillWidth: true
                model: step.model
            }
        }

        B.ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.topMargin: 10
            contentWidth: availableWidth
            clip: true
            ColumnLayout {
                width: scroller.availableWidth
                spacing: 10
                FilesSection {
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    model: step.model
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    Layout.bottomMargin: 16
                    visible: step.model.originalsOutcome.length > 0
                    spacing: 4
                    Label { text: "Your originals" }
                    Repeater {
                        model: step.model.originalsOutcome
                        TextLine {
                            required property string modelData
                            Layout.fillWidth: true
                            text: modelData
                            color: Theme.ink
                            font.pixelSize: 12
                            wrapMode: Text.Wrap
                        }
                    }
                }
            }
        }

        Footer {
            Layout.fillWidth: true
            visible: ["copying", "waiting", "finished", "failed"].includes(step.phase)
            TextLine {
                Layout.fillWidth: true
                visible: step.phase === "waiting"
                text: "The reel check is running on VX9. The result shows here."
                color: Theme.muted
                font.pixelSize: 12
                wrapMode: Text.Wrap
            }
            Item {
                Layout.fillWidth: true
                visible: step.phase !== "waiting"
            }
            SquareButton {
                visible: step.phase === "copying"
                text: "Stop"
                onClicked: step.model.stop()
            }
            SquareButton {
                visible: step.phase === "finished" && step.model.submissionStatus === "Ready for QLab"
                text: "Submit another reel"
                primary: true
                tip: "Starts fresh with your name kept."
                onClicked: step.model.startOver()
            }
            SquareButton {
                visible: step.phase === "finished" && step.model.submissionStatus !== "Ready for QLab"
                text: "Submit fixed files"
                primary: true
                tip: "Goes back to the first step with the same reel."
                onClicked: step.model.submitFixedFiles()
            }
            SquareButton {
                visible: step.phase === "failed"
                text: "Start over"
                onClicked: step.model.startOver()
            }
            SquareButton {
                visible: step.phase === "failed"
                text: "Try again"
                primary: true
                onClicked: step.model.run()
            }
        }
    }

    // "Try again" is the default button after a failure.
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: step.phase === "failed" && !step.model.helpOpen
        onActivated: step.model.run()
    }
}
