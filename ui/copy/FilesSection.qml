import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The run's files, one row each, or folded into one summary line.
ColumnLayout {
    id: section
    required property CopyRun run
    readonly property int count: run.rows.count
    readonly property Item toggle: toggleButton

    spacing: 0
    RowLayout {
        Layout.fillWidth: true
        Layout.bottomMargin: 4
        Label { text: "Files" }
        Item { Layout.fillWidth: true }
        LinkButton {
            id: toggleButton
            text: section.run.showFiles ? "Hide files" : "Show files"
            tracking: 0.8
            onClicked: section.run.showFiles = !section.run.showFiles
        }
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.line
    }
    Repeater {
        model: section.run.showFiles ? section.run.rows : null
        RowView {
            required property var model
            Layout.fillWidth: true
            row: model
        }
    }
    RowLayout {
        Layout.topMargin: 8
        visible: !section.run.showFiles
        spacing: 8
        StatusMark { tone: "ok"; word: "Copied" }
        TextLine {
            text: section.count + " file" + (section.count === 1 ? "" : "s") + " on the NAS. Size and checksum match."
            color: Theme.ink
            font.pixelSize: 12
        }
    }
}
