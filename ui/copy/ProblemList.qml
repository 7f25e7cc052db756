import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera.Controls

// The problems the reel check found, one a line; it scrolls when long, and its text can be
// selected and copied.
ListView {
    id: list
    property var problems: []

    implicitHeight: contentHeight
    clip: true
    spacing: 3
    boundsBehavior: Flickable.StopAtBounds
    model: problems
    B.ScrollBar.vertical: B.ScrollBar { policy: list.contentHeight > list.height ? B.ScrollBar.AlwaysOn : B.ScrollBar.AsNeeded }
    delegate: RowLayout {
        required property string modelData
        width: list.width - 12
        spacing: 6
        Symbol {
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 3
            name: "xmark"
            size: 10
            bold: true
            color: Theme.problem
        }
        TextEdit {
            Layout.fillWidth: true
            text: parent.modelData
            readOnly: true
            selectByMouse: true
            color: Theme.ink
            selectionColor: Theme.select
            selectedTextColor: Theme.ground
            font.pixelSize: 12
            wrapMode: TextEdit.Wrap
            Accessible.name: text
        }
    }
}
