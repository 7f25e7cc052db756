import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Templates as T
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// "Get help": the editor's message, what goes with it, and whether it went through.
B.Popup {
    id: sheet
    required property AppModel model
    readonly property string helpState: model.helpStateName
    readonly property bool finished: helpState === "sent" || helpState === "fellBack"

    anchors.centerIn: parent
    width: 460
    modal: true
    focus: true
    padding: 20
    closePolicy: B.Popup.CloseOnEscape
    visible: model.helpOpen
    onClosed: model.helpOpen = false
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
            visible: sheet.helpState === "sent"
            tone: "ok"
            text: "Sent. Vesko will reply in Slack."
        }
        Message {
            Layout.fillWidth: true
            visible: sheet.helpState === "fellBack"
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
                text: sheet.model.helpMessage
                frame: sheet.model.helpMessage.length > 1000 ? Theme.problem : Theme.lineStrong
                onEdited: (text) => { if (text !== sheet.model.helpMessage) sheet.model.helpMessage = text }
            }
            TextLine {
                text: sheet.model.helpMessage.length + " of 1000 characters"
                color: Theme.muted
                font.pixelSize: 11
            }
            Message {
                Layout.fillWidth: true
                visible: sheet.helpState === "failed"
                tone: "problem"
                text: sheet.model.helpFailure
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
                        model: sheet.model.helpContextLines
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
                onClicked: sheet.model.helpOpen = false
            }
            SquareButton {
                text: sheet.helpState === "sending" ? "Sending…" : "Send"
                primary: true
                enabled: sheet.model.canSendHelp
                onClicked: sheet.model.sendHelp()
            }
        }
    }
}
