import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// Signing in to the NAS while the share is mounted: the server's question, answered or cancelled.
Sheet {
    id: sheet
    required property NASSignIn signIn

    title: "Sign in to the NAS"
    width: 400
    visible: signIn.open
    onOpened: {
        user.text = signIn.user
        domain.text = signIn.domain
        password.text = ""
        guest.checked = false
        ;(signIn.needsUser && user.text === "" ? user : password).forceActiveFocus(Qt.TabFocusReason)
    }
    // Escape, or the model ending the question itself.
    onClosed: if (signIn.open) signIn.cancel()

    function connect() {
        signIn.answer(user.text, password.text, domain.text, guest.checked)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 10
        TextLine {
            text: "SIGN IN TO THE NAS"
            color: Theme.ink
            font.pixelSize: 13
            font.bold: true
            font.letterSpacing: 0.8
        }
        TextLine {
            Layout.fillWidth: true
            text: sheet.signIn.message
            visible: text.length > 0
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
        }
        Label { text: "User"; visible: user.visible }
        SquareField {
            id: user
            Layout.fillWidth: true
            visible: sheet.signIn.needsUser
            enabled: !guest.checked
            placeholderText: "User name"
            onAccepted: sheet.connect()
        }
        Label { text: "Password" }
        SquareField {
            id: password
            Layout.fillWidth: true
            enabled: !guest.checked
            echoMode: TextInput.Password
            placeholderText: "Password"
            onAccepted: sheet.connect()
        }
        Label { text: "Domain" }
        SquareField {
            id: domain
            Layout.fillWidth: true
            enabled: !guest.checked
            placeholderText: "Domain (optional)"
            onAccepted: sheet.connect()
        }
        SquareCheck {
            id: guest
            visible: sheet.signIn.guestAllowed
            text: "CONNECT AS A GUEST"
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 10
            SquareButton {
                text: "Cancel"
                onClicked: sheet.signIn.cancel()
            }
            SquareButton {
                text: "Connect"
                primary: true
                onClicked: sheet.connect()
            }
        }
    }
}
