import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The reel check's result, once the submission is in.
ColumnLayout {
    id: result
    required property Verdict verdict
    // The submission is in: the run waits for the verdict or has it.
    required property bool shown
    readonly property string status: verdict.status
    readonly property string sentence: status === "Ready for QLab" ? "All good. The reel is ready for QLab."
                                       : status === "Needs fixing" ? "The reel check found problems."
                                       : verdict.waitingForFiles ? "Waiting for files to finish copying on the NAS."
                                       : "Submitted. The reel check on VX9 is looking at it. This usually takes under a minute."

    visible: shown
    spacing: 6
    Label { text: "Reel check result" }
    TextLine {
        Layout.fillWidth: true
        text: result.sentence
        color: Theme.ink
        font.pixelSize: 13
        font.weight: result.status.length > 0 && result.status !== "Checking" ? Font.DemiBold : Font.Normal
        wrapMode: Text.Wrap
    }
    ProblemList {
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(implicitHeight, 132)
        visible: result.status === "Needs fixing"
        problems: result.verdict.problems
    }
    TextLine {
        Layout.fillWidth: true
        visible: result.status === "Needs fixing"
        text: "Re-export the files with the problems above, then press Submit fixed files. Tessera keeps the same reel."
        color: Theme.ink
        font.pixelSize: 12
        wrapMode: Text.Wrap
    }
    Message {
        Layout.fillWidth: true
        visible: result.verdict.pollTrouble
        tone: "warning"
        text: "Can't reach VX9 right now. Still trying every 5 seconds."
    }
}
