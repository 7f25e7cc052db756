import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// One file of the run: surface (or EDL), name on the NAS, its state, where it came from, and a
// bar while it is being copied or read back.
Item {
    id: view
    // The model's row: finalName, original, surface, surfaceLabel, proxyLabel, state, fraction,
    // detail and subline.
    required property var row
    readonly property var mark: {
        switch (row.state) {
        case FileState.Waiting: return ["muted", "Waiting", ""]
        case FileState.Copying: return ["warning", "Copying", ""]
        case FileState.Verifying: return ["warning", "Checking copy", "Reading the copy back from the NAS to make sure it matches"]
        case FileState.Done: return ["ok", "Copied", "Size and checksum match"]
        case FileState.Renamed: return ["ok", "Renamed on the NAS", "It was already on the NAS, so it was renamed, not copied"]
        case FileState.AlreadyThere: return ["ok", "Already there", "The same file is already on the NAS (checksum match)"]
        case FileState.Failed: return ["problem", "Failed", ""]
        case FileState.Stalled: return ["warning", "Waiting for the NAS", "The NAS isn't answering. Tessera carries on when it does."]
        }
        return ["muted", "", ""]
    }

    implicitHeight: column.implicitHeight + 16
    ColumnLayout {
        id: column
        anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 8 }
        spacing: 3
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            SurfaceName {
                visible: view.row.surface.length > 0
                surface: view.row.surface
                label: view.row.surfaceLabel
                proxyLabel: view.row.proxyLabel
            }
            TextLine {
                visible: view.row.surface.length === 0
                text: "EDL"
                color: Theme.ink
                font.pixelSize: 14
                font.bold: true
            }
            TextLine {
                Layout.fillWidth: true
                text: view.row.finalName
                color: Theme.ink
                font.family: Theme.monospace
                font.pixelSize: 12
                elide: Text.ElideMiddle
            }
            StatusMark {
                tone: view.mark[0]
                word: view.mark[1]
                tip: view.mark[2]
            }
        }
        TextLine {
            Layout.fillWidth: true
            text: view.row.subline
            color: Theme.muted
            font.pixelSize: 11
            elide: Text.ElideMiddle
        }
        Bar {
            Layout.fillWidth: true
            Layout.topMargin: 2
            visible: [FileState.Copying, FileState.Verifying, FileState.Stalled].includes(view.row.state)
            fraction: view.row.fraction
        }
    }
    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 1
        color: Theme.line
    }
}
