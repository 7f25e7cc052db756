import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// "Get help": the editor's message, what goes with it, and whether it went through.
Sheet {
    id: sheet
    required property HelpDesk help
    readonly property int helpState: help.state
    readonly property bool finished: helpState === HelpState.Sent || helpState === HelpState.FellBack

    title: "Get help"
    width: 460
    visible: help.open
    onClosed: help.open = false
    onOpened: (finished ? closeButton : message.edit).forceActiveFocus(Qt.TabFocusReason)

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
                placeholderText: "What's going on?"
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
                id: closeButton
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
