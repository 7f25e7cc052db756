import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Who the editor is: picked from the Slack list, or a typed full name.
ColumnLayout {
    id: who
    required property Identity identity
    // The chooser is open although a name is already in force.
    property bool changing: false
    readonly property int usersState: identity.usersState
    readonly property bool picked: identity.me.id !== undefined
    readonly property string mode: usersState === UsersState.Loading ? "loading"
                                  : usersState === UsersState.Loaded && picked && !changing ? "picked"
                                  : usersState === UsersState.Loaded && !picked && identity.name.length > 0 && !changing ? "named"
                                  : usersState === UsersState.Unavailable ? "typing" : "search"

    function use() {
        if (identity.typedName.length === 0)
            return
        identity.useTypedName(identity.userQuery)
        changing = false
    }
    function change() {
        identity.userQuery = ""
        changing = true
        search.forceActiveFocus()
    }

    spacing: 8

    Label { text: "Who are you?" }

    StatusMark {
        visible: who.mode === "loading"
        tone: "warning"
        word: "Loading names"
    }

    RowLayout {
        visible: who.mode === "picked" || who.mode === "named"
        spacing: 10
        TextLine {
            text: who.mode === "picked" ? (who.identity.me.display ?? "") : who.identity.name
            color: Theme.ink
            font.pixelSize: 15
            font.bold: true
        }
        LinkButton {
            text: who.mode === "picked" ? "Not you?" : "Change"
            onClicked: who.change()
        }
    }
    TextLine {
        Layout.fillWidth: true
        visible: who.mode === "named"
        text: "Not from the Slack list, so Slack won't tag you. Your name still goes on the submission."
        color: Theme.muted
        font.pixelSize: 11
        wrapMode: Text.Wrap
    }

    // Search chooser: the Slack list is loaded.
    ColumnLayout {
        Layout.fillWidth: true
        visible: who.mode === "search"
        spacing: 6
        SquareField {
            id: search
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            placeholderText: "Search, or type your full name"
            text: who.identity.userQuery
            onTextEdited: who.identity.userQuery = text
            // Return takes the text only when no one is found: a match must be clicked.
            onAccepted: if (who.identity.foundUsers.length === 0) who.use()
        }
        ListView {
            id: users
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            Layout.preferredHeight: Math.min(contentHeight, 150)
            visible: count > 0
            clip: true
            model: who.identity.foundUsers
            boundsBehavior: Flickable.StopAtBounds
            B.ScrollBar.vertical: B.ScrollBar {}
            delegate: B.ItemDelegate {
                id: userRow
                required property var modelData
                width: users.width
                padding: 6
                leftPadding: 8
                text: modelData.display
                Accessible.name: modelData.display
                Accessible.onPressAction: if (enabled) clicked()
                background: Rectangle {
                    color: userRow.hovered || userRow.visualFocus ? Theme.hover : "transparent"
                }
                contentItem: Row {
                    spacing: 8
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: userRow.modelData.display
                        color: Theme.ink
                        font.pixelSize: 13
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        visible: userRow.modelData.realName.length > 0
                        text: "@" + userRow.modelData.name
                        color: Theme.muted
                        font.pixelSize: 11
                    }
                }
                onClicked: {
                    who.identity.pickUser(modelData.id)
                    who.changing = false
                }
            }
        }
        TextLine {
            visible: who.identity.foundUsers.length === 0 && who.identity.typedName.length > 0
            text: "No one matches."
            color: Theme.muted
            font.pixelSize: 12
        }
        LinkButton {
            visible: who.identity.typedName.length > 0
            text: "Use “" + who.identity.typedName + "” as your name"
            tint: Theme.ink
            contentItem: Row {
                spacing: 6
                Symbol {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "plus.circle"
                    size: 13
                    color: Theme.ink
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Use “" + who.identity.typedName + "” as your name"
                    color: Theme.ink
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                }
            }
            onClicked: who.use()
        }
        TextLine {
            Layout.fillWidth: true
            text: "Not in the list? Type your full name and choose Use. Slack can only tag people in the list."
            color: Theme.muted
            font.pixelSize: 11
            wrapMode: Text.Wrap
        }
    }

    // Typing chooser: the list could not be had.
    ColumnLayout {
        Layout.fillWidth: true
        visible: who.mode === "typing"
        spacing: 6
        TextLine {
            Layout.fillWidth: true
            text: "Couldn't get the list of names from VX9, so type yours."
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
        }
        SquareField {
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            placeholderText: "Your name, for example Mira"
            text: who.identity.editor
            onTextEdited: who.identity.editor = text
        }
        SquareButton {
            text: "Try the list again"
            onClicked: who.identity.loadSlackUsers()
        }
    }
}
