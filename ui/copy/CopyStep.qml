import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The third step: where the run stands, the transfer, the reel check's result, every file, and
// the buttons to stop, retry or go on.
FocusScope {
    id: step
    required property AppModel app
    readonly property CopyRun run: app.run
    readonly property Verdict verdict: app.verdict
    readonly property int phase: run.phase
    // Until the files are on the NAS, whatever the run waits for.
    readonly property bool stoppable: [Phase.CheckingNAS, Phase.Connecting, Phase.Planning, Phase.Copying].includes(phase)
    readonly property bool submitted: !isNaN(verdict.submittedAt.getTime())

    // The keyboard to what comes next once the run ends, else to the files' toggle: never to
    // "Stop", which a second Return after "Copy and submit" would press.
    function settleFocus() {
        const next = [anotherReel, fixedFiles, tryAgain, startOver].find(b => b.visible && b.enabled)
        ;(next ?? filesSection.toggle).forceActiveFocus(Qt.TabFocusReason)
    }
    onPhaseChanged: {
        const at = step.Window.activeFocusItem
        if (at === step || at === filesSection.toggle || at === stopButton || !at)
            Qt.callLater(step.settleFocus)
    }

    // "Try again" is the default button after a failure.
    Keys.onReturnPressed: if (phase === Phase.Failed && run.canTryAgain && !app.help.open) run.run()
    Keys.onEnterPressed: if (phase === Phase.Failed && run.canTryAgain && !app.help.open) run.run()

    // Read out as the run goes from stage to stage, and the verdict.
    Announcement {
        text: step.phase === Phase.Failed ? "Stopped. " + step.run.failureMessage
              : step.phase === Phase.Waiting || step.phase === Phase.Finished ? result.sentence
              : checkStatus.word
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            Layout.bottomMargin: 14
            spacing: 32
            Fact { label: "Reel"; value: step.run.reelName }
            Fact { label: "Version"; value: step.run.version }
            Item { Layout.fillWidth: true }
            CheckStatus { id: checkStatus; run: step.run; verdict: step.verdict }
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
                visible: step.phase === Phase.Failed
                tone: "problem"
                text: step.run.failureMessage
            }
            Message {
                Layout.fillWidth: true
                visible: step.app.waitingFiles > 0
                tone: "muted"
                text: step.app.waitingFiles === 1 ? "The file you opened is added once you are done with this reel."
                      : "The " + step.app.waitingFiles + " files you opened are added once you are done with this reel."
            }
            Message {
                Layout.fillWidth: true
                visible: step.run.planningLine.length > 0
                tone: "muted"
                text: step.run.planningLine + "…"
            }
            Message {
                Layout.fillWidth: true
                visible: step.verdict.healthDegraded && step.phase !== Phase.Finished
                tone: "warning"
                text: step.submitted ? step.verdict.healthDegradedMessage
                      : "VX9 can't check reels right now. Tessera still copies and submits your files; the check will run when it's back. Vesko has been told."
            }
            Message {
                Layout.fillWidth: true
                visible: step.phase === Phase.Confirming
                tone: "warning"
                text: "Checking whether VX9 got it…"
            }
            TransferPanel {
                Layout.fillWidth: true
                visible: step.run.transfer !== undefined && step.run.transfer !== null
                transfer: step.run.transfer
            }
            ResultView {
                id: result
                Layout.fillWidth: true
                verdict: step.verdict
                shown: step.phase === Phase.Waiting || step.phase === Phase.Finished
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
                    id: filesSection
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    run: step.run
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    Layout.bottomMargin: 16
                    visible: step.run.originalsOutcome.length > 0
                    spacing: 4
                    Label { text: "Your originals" }
                    Repeater {
                        model: step.run.originalsOutcome
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

        FocusScroller { flickable: scroller.contentItem }

        Footer {
            Layout.fillWidth: true
            visible: step.stoppable || [Phase.Waiting, Phase.Finished, Phase.Failed].includes(step.phase)
            TextLine {
                Layout.fillWidth: true
                visible: step.phase === Phase.Waiting
                text: "The reel check is running on VX9. The result shows here."
                color: Theme.muted
                font.pixelSize: 12
                wrapMode: Text.Wrap
            }
            Item {
                Layout.fillWidth: true
                visible: step.phase !== Phase.Waiting
            }
            SquareButton {
                id: stopButton
                visible: step.stoppable
                text: "Stop"
                onClicked: step.run.stop()
            }
            SquareButton {
                id: anotherReel
                visible: step.phase === Phase.Finished && step.verdict.status === "Ready for QLab"
                text: "Submit another reel"
                primary: true
                tip: "Starts fresh with your name kept."
                onClicked: step.app.startOver()
            }
            SquareButton {
                id: fixedFiles
                visible: step.phase === Phase.Finished && step.verdict.status !== "Ready for QLab"
                text: "Submit fixed files"
                primary: true
                tip: "Goes back to the first step with the same reel."
                onClicked: step.app.submitFixedFiles()
            }
            SquareButton {
                id: startOver
                visible: step.phase === Phase.Failed
                text: "Start over"
                onClicked: step.app.startOver()
            }
            SquareButton {
                id: tryAgain
                visible: step.phase === Phase.Failed && step.run.canTryAgain
                text: step.run.forgotten ? "Submit again" : "Try again"
                primary: true
                onClicked: step.run.run()
            }
        }
    }
}
