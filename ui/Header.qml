import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Product line, step tabs, "Get help" and the logo; the logo goes first when space runs short.
Rectangle {
    id: header
    required property int step
    required property HelpDesk help
    readonly property int gap: 16
    readonly property bool wide: width >= 2 * gap + titles.implicitWidth + tabs.fullWidth
                                 + help.implicitWidth + logo.implicitWidth + 4 * gap

    implicitHeight: row.implicitHeight + 24
    color: Theme.ground

    RowLayout {
        id: row
        anchors { fill: parent; leftMargin: header.gap; rightMargin: header.gap }
        spacing: header.gap
        Column {
            id: titles
            Layout.alignment: Qt.AlignVCenter
            spacing: 2
            TextLine {
                text: "TESSERA · HALCYON"
                color: Theme.ink
                font.pixelSize: 15
                font.letterSpacing: 1.2
            }
            TextLine {
                text: "Send Halcyon reels to the reel check"
                color: Theme.muted
                font.pixelSize: 12
            }
        }
        Item { Layout.fillWidth: true }
        StepTabs {
            id: tabs
            Layout.alignment: Qt.AlignVCenter
            current: header.step
            available: header.width - 2 * header.gap - titles.implicitWidth - help.implicitWidth
                       - (logo.visible ? logo.implicitWidth + header.gap : 0) - 3 * header.gap
        }
        SquareButton {
            id: help
            Layout.alignment: Qt.AlignVCenter
            text: "Get help"
            tip: "Tell Vesko what's going on. Tessera adds the reel, step and any error."
            onClicked: header.help.openHelp()
        }
        KestrelLogo {
            id: logo
            Layout.alignment: Qt.AlignVCenter
            visible: header.wide
            logoHeight: 16
        }
    }
}
