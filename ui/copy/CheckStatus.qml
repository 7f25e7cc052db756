import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Where the run stands: a symbol (turning while the run goes on), the word, and the submission's
// number with the time since it was submitted, refreshed every second.
RowLayout {
    id: status
    required property CopyRun run
    required property Verdict verdict
    readonly property int phase: run.phase
    readonly property var transfer: run.transfer
    readonly property bool isFinal: phase === Phase.Idle || phase === Phase.Finished || phase === Phase.Failed
    property date now: new Date()

    readonly property string word: {
        switch (phase) {
        case Phase.Idle: return "Ready"
        case Phase.CheckingNAS: return "Finding the NAS"
        case Phase.Connecting: return "Connecting"
        case Phase.Planning: return "Checking the NAS"
        case Phase.Copying:
            if (transfer && transfer.index >= 1)
                return (transfer.checking ? "Checking copy " : "Copying ") + transfer.index + " of " + transfer.count
            return "Copying"
        case Phase.Submitting: return "Submitting"
        case Phase.Confirming:
        case Phase.Waiting: return "Checking"
        case Phase.Finished: return verdict.status.length > 0 ? verdict.status : "Done"
        case Phase.Failed: return "Stopped"
        }
        return ""
    }
    readonly property string tone: phase === Phase.Failed ? "problem"
                                   : phase !== Phase.Finished ? "warning"
                                   : verdict.status === "Ready for QLab" ? "ok"
                                   : verdict.status === "Needs fixing" ? "problem" : "muted"

    // Minutes and seconds of a span: 125 seconds read 2:05; minutes go past 59.
    function elapsed(from, to) {
        const s = Math.max(0, Math.trunc((to.getTime() - from.getTime()) / 1000))
        return Math.floor(s / 60) + ":" + String(s % 60).padStart(2, "0")
    }
    readonly property string subline: {
        const parts = []
        if (verdict.number !== undefined && verdict.number !== null)
            parts.push("Submission #" + verdict.number)
        const since = verdict.submittedAt
        if (!isNaN(since.getTime())) {
            const until = isNaN(verdict.finishedAt.getTime()) ? now : verdict.finishedAt
            parts.push(elapsed(since, until))
        }
        return parts.join(" · ")
    }

    spacing: 8
    Timer {
        interval: 1000
        repeat: true
        running: !isNaN(status.verdict.submittedAt.getTime()) && isNaN(status.verdict.finishedAt.getTime())
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
