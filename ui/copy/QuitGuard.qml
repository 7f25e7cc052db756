import QtQuick
import QtQuick.Layouts
import Tessera.Controls

// Asked when the window closes while files are on their way to the NAS.
Sheet {
    id: guard
    signal quitChosen()

    title: "Tessera is still copying"
    width: 420
    onOpened: keep.forceActiveFocus(Qt.TabFocusReason)

    ColumnLayout {
        anchors.fill: parent
        spacing: 12
        TextLine {
            Layout.fillWidth: true
            text: "Tessera is still copying"
            color: Theme.ink
            font.pixelSize: 15
            font.bold: true
            wrapMode: Text.Wrap
        }
        TextLine {
            Layout.fillWidth: true
            text: "If you quit now the copy stops. Files already checked stay on the NAS, and next time Tessera carries on from there."
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 10
            SquareButton {
                id: keep
                text: "Keep copying"
                primary: true
                onClicked: guard.close()
            }
            SquareButton {
                text: "Quit"
                onClicked: { guard.close(); guard.quitChosen() }
            }
        }
    }
}
