import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// One file of the confirm step: its name, what it becomes (when nothing is wrong with it), its
// problems, and whatever the caller puts at the right end.
Item {
    id: row
    property string fileName
    property string finalName
    property var segments: []
    property var problemList: []
    default property alias trailing: right.data

    implicitHeight: content.implicitHeight + 16
    RowLayout {
        id: content
        anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 8 }
        spacing: 10
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3
            TextLine {
                Layout.fillWidth: true
                text: row.fileName
                color: Theme.ink
                font.pixelSize: 13
                elide: Text.ElideMiddle
            }
            RowLayout {
                Layout.fillWidth: true
                visible: row.finalName.length > 0 && row.problemList.length === 0
                spacing: 6
                TextLine {
                    text: "becomes"
                    color: Theme.muted
                    font.pixelSize: 11
                }
                DiffName {
                    Layout.fillWidth: true
                    fullName: row.finalName
                    segments: row.segments
                }
            }
            Repeater {
                model: row.problemList
                RowLayout {
                    required property string modelData
                    Layout.fillWidth: true
                    spacing: 6
                    Symbol {
                        Layout.alignment: Qt.AlignTop
                        Layout.topMargin: 3
                        name: "xmark"
                        size: 10
                        bold: true
                        color: Theme.problem
                    }
                    TextLine {
                        Layout.fillWidth: true
                        text: parent.modelData
                        color: Theme.problem
                        font.pixelSize: 12
                        wrapMode: Text.Wrap
                    }
                }
            }
        }
        Row {
            id: right
            Layout.alignment: Qt.AlignTop
            spacing: 8
        }
    }
    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 1
        color: Theme.line
    }
}
