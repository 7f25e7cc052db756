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

    // Where the keyboard goes next, once a name is in force; the step decides.
    signal settled()

    function use() {
        if (identity.typedName.length === 0)
            return
        identity.useTypedName(identity.userQuery)
        changing = false
        settled()
    }
    function pick(id) {
        identity.pickUser(id)
        changing = false
        settled()
    }
    function change() {
        identity.userQuery = ""
        changing = true
        search.forceActiveFocus(Qt.TabFocusReason)
    }
    function searchReturn(event) {
        if (identity.foundUsers.length === 0)
            use()
        event.accepted = search.text.trim().length > 0
    }
    // "Not you?" taken back: the name in force stays.
    function keep() {
        changing = false
        identity.userQuery = ""
        notYou.forceActiveFocus(Qt.TabFocusReason)
    }
    // The keyboard to the control that asks for the name, when one does; false when none does.
    function takeFocus() {
        if (mode === "search")
            search.forceActiveFocus(Qt.TabFocusReason)
        else if (mode === "typing")
            typing.forceActiveFocus(Qt.TabFocusReason)
        else
            return false
        return true
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
            id: notYou
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
            // Return takes the text only when no one is found: a match must be chosen in the
            // list. Either way it goes no further than the field.
            Keys.onReturnPressed: (event) => who.searchReturn(event)
            Keys.onEnterPressed: (event) => who.searchReturn(event)
            Keys.onDownPressed: users.enter()
            // Escape after "Not you?" keeps the name in force.
            Keys.onEscapePressed: (event) => {
                event.accepted = who.changing && who.identity.name.length > 0
                if (event.accepted)
                    who.keep()
            }
        }
        TextLine {
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            visible: who.identity.typedNameCut
            text: "A name has at most 60 characters: Use takes the first 60."
            color: Theme.warning
            font.pixelSize: 11
            wrapMode: Text.Wrap
        }
        ChoiceList {
            id: users
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            Layout.preferredHeight: Math.min(contentHeight, 150)
            visible: count > 0
            model: who.identity.foundUsers
            Accessible.name: "Slack names"
            onChosen: (index) => who.pick(who.identity.foundUsers[index].id)
            delegate: ChoiceRow {
                id: userRow
                required property var modelData
                width: users.width
                padding: 6
                leftPadding: 8
                text: modelData.display
                isChosen: modelData.id === who.identity.me.id
                Accessible.name: modelData.display
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
                onClicked: users.chosen(index)
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
            padding: 3
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
        LinkButton {
            visible: who.changing && who.identity.name.length > 0
            text: "Keep “" + who.identity.name + "”"
            onClicked: who.keep()
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
            id: typing
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            placeholderText: "Your name, for example Mira"
            text: who.identity.editor
            onTextEdited: who.identity.editor = text
        }
        TextLine {
            Layout.fillWidth: true
            Layout.maximumWidth: 320
            visible: typing.text.trim().length > 0 && !who.identity.nameFits
            text: "A name has at most 60 characters."
            color: Theme.warning
            font.pixelSize: 11
            wrapMode: Text.Wrap
        }
        SquareButton {
            text: "Try the list again"
            onClicked: who.identity.loadSlackUsers()
        }
    }
}
