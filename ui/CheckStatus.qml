import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Where the run stands: a symbol (turning while the run goes on), the word, and the submission's
// number with the time since it was submitted, refreshed every second.
RowLayout {
    id: status
    required property AppModel model
    readonly property string phase: model.phaseName
    readonly property var transfer: model.transfer
    readonly property bool isFinal: phase === "idle" || phase === "finished" || phase === "failed"
    property date now: new Date()

    readonly property string word: {
        switch (phase) {
        case "idle": return "Ready"
        case "checkingNAS": return "Finding the NAS"
        case "connecting": return "Connecting"
        case "planning": return "Checking the NAS"
        case "copying":
            if (transfer && transfer.index >= 1)
                return (transfer.checking ? "Checking copy " : "Copying ") + transfer.index + " of " + transfer.count
            return "Copying"
        case "submitting": return "Submitting"
        case "confirming":
        case "waiting": return "Checking"
        case "finished": return model.submissionStatus.length > 0 ? model.submissionStatus : "Done"
        case "failed": return "Stopped"
        }
        return ""
    }
    readonly property string tone: phase === "failed" ? "problem"
                                   : phase !== "finished" ? "warning"
                                   : model.submissionStatus === "Ready for QLab" ? "ok"
                                   : model.submissionStatus === "Needs fixing" ? "problem" : "muted"

    // Minutes and seconds of a span: 125 seconds read 2:05; minutes go past 59.
    function elapsed(from, to) {
        const s = Math.max(0, Math.trunc((to.getTime() - from.getTime()) / 1000))
        return Math.floor(s / 60) + ":" + String(s % 60).padStart(2, "0")
    }
    readonly property string subline: {
        const parts = []
        if (model.submissionNumber !== undefined && model.submissionNumber !== null)
            parts.push("Submission #" + model.submissionNumber)
        const since = model.submittedAt
        if (!isNaN(since.getTime())) {
            const until = isNaN(model.finishedAt.getTime()) ? now : model.finishedAt
            parts.push(elapsed(since, until))
        }
        return parts.join(" · ")
    }

    spacing: 8
    Timer {
        interval: 1000
        repeat: true
        running: !isNaN(status.model.submittedAt.getTime()) && isNaN(status.model.finishedAt.getTime())
        onTriggered: status.now = new Date()
    }
    Item {
        Layout.alignment: Qt.AlignTop
        implicitWidth: 20
        implicitHeight: 20
        Symbol {
            anchors.centerIn: parent
            visible: status.isFinal
            name: Theme.toneSymbol(status.tone)
            color: Theme.tone(status.tone)
            size: 16
            bold: true
        }
        BusySquare {
            anchors.centerIn: parent
            visible: !status.isFinal
            color: Theme.tone(status.tone)
        }
    }
    Column {
        spacing: 2
        TextLine {
            text: status.word
            color: Theme.ink
            font.pixelSize: 15
        }
        TextLine {
            visible: text.length > 0
            text: status.subline
            color: Theme.muted
            font.pixelSize: 11
        }
    }
}
