import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Templates as T
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// "Get help": the editor's message, what goes with it, and whether it went through.
B.Popup {
    id: sheet
    required property HelpDesk help
    readonly property int helpState: help.state
    readonly property bool finished: helpState === HelpState.Sent || helpState === HelpState.FellBack

    anchors.centerIn: parent
    width: 460
    modal: true
    focus: true
    padding: 20
    closePolicy: B.Popup.CloseOnEscape
    visible: help.open
    onClosed: help.open = false
    onOpened: if (!finished) message.edit.forceActiveFocus()
    background: Rectangle { color: Theme.ground; border.color: Theme.lineStrong }
    T.Overlay.modal: Rectangle { color: Theme.dark ? "#99000000" : "#66000000" }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10

        TextLine {
            text: "GET HELP"
            color: Theme.ink
            font.pixelSize: 13
            font.bold: true
            font.letterSpacing: 0.8
        }

        Message {
            Layout.fillWidth: true
            visible: sheet.helpState === HelpState.Sent
            tone: "ok"
            text: "Sent. Vesko will reply in Slack."
        }
        Message {
            Layout.fillWidth: true
            visible: sheet.helpState === HelpState.FellBack
            tone: "warning"
            text: "Couldn't send it from here. Your message is copied: paste it in the Slack chat that just opened."
        }

        ColumnLayout {
            Layout.fillWidth: true
            visible: !sheet.finished
            spacing: 6
            Label { text: "What's going on?" }
            SquareArea {
                id: message
                Layout.fillWidth: true
                Layout.preferredHeight: 90
                text: sheet.help.message
                frame: sheet.help.messageTooLong ? Theme.problem : Theme.lineStrong
                onEdited: (text) => { if (text !== sheet.help.message) sheet.help.message = text }
            }
            TextLine {
                text: sheet.help.messageLength + " of 1000 characters"
                color: Theme.muted
                font.pixelSize: 11
            }
            Message {
                Layout.fillWidth: true
                visible: sheet.helpState === HelpState.Failed
                tone: "problem"
                text: sheet.help.failure
            }
        }

        Label { text: "Sent with it" }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 110
            color: Theme.panel
            clip: true
            B.ScrollView {
                anchors { fill: parent; margins: 8 }
                Column {
                    spacing: 1
                    Repeater {
                        model: sheet.help.contextLines
                        TextLine {
                            required property string modelData
                            text: modelData
                            color: Theme.muted
                            font.pixelSize: 11
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 10
            SquareButton {
                text: sheet.finished ? "Close" : "Cancel"
                onClicked: sheet.help.open = false
            }
            SquareButton {
                text: sheet.helpState === HelpState.Sending ? "Sending…" : "Send"
                primary: true
                enabled: sheet.help.canSend
                onClicked: sheet.help.send()
            }
        }
    }
}
