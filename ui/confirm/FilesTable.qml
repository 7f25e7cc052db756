import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Every dropped movie with its new name, its problems and its surface, then the EDL.
ColumnLayout {
    id: table
    required property Confirmation confirmation
    required property Intake intake

    spacing: 0
    RowLayout {
        Layout.fillWidth: true
        Layout.bottomMargin: 6
        Label { text: "Files and surfaces" }
        Item { Layout.fillWidth: true }
        StatusMark {
            visible: table.intake.checkingFiles
            tone: "warning"
            word: "Checking files"
            tip: "Reading each file's settings on this computer before anything is copied"
        }
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.line
    }
    ListView {
        id: list
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        // Every row is made, so that Tab reaches every surface chooser; a reel has a few dozen
        // files at most.
        cacheBuffer: 100000
        model: table.confirmation.table
        B.ScrollBar.vertical: B.ScrollBar {}
        delegate: FileRowLine {
            id: fileRow
            required property string fileID
            required property string name
            required property string surface
            required property string surfaceLabel
            required property string proxyLabel
            required property string newName
            required property var newNameSegments
            required property var problems
            required property string badge
            width: list.width
            fileName: name
            segments: newNameSegments
            finalName: newName
            problemList: problems
            SlotMenu {
                fileID: fileRow.fileID
                fileName: fileRow.name
                surface: fileRow.surface
                surfaceLabel: fileRow.surfaceLabel
                proxyLabel: fileRow.proxyLabel
                badge: fileRow.badge
                confirmation: table.confirmation
                intake: table.intake
            }
        }
        footer: FileRowLine {
            width: list.width
            visible: table.intake.edlFileName.length > 0
            height: visible ? implicitHeight : 0
            fileName: table.intake.edlFileName
            finalName: table.confirmation.edlFinalName
            segments: table.confirmation.edlNameSegments
            problemList: table.confirmation.edlProblems
            TextLine {
                visible: text.length > 0
                text: table.confirmation.edlClipNote
                color: Theme.muted
                font.pixelSize: 12
                HoverTip { text: "The copy on the NAS points at the new file names. Your own EDL is not changed." }
            }
        }
    }
    FocusScroller { flickable: list }
}
