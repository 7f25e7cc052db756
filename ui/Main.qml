import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Dialogs
import Tessera
import Tessera.Controls

// The one window: the content view under a menu bar, with the dialogs the model asks for.
B.ApplicationWindow {
    id: window
    required property AppModel model
    // Set once the editor chose "Quit" in the quit guard, so that closing goes through.
    property bool quitConfirmed: false

    title: "Tessera"
    // The sizes are the content's; the menu bar comes on top.
    minimumWidth: 700
    minimumHeight: 600 + menuBar.implicitHeight
    width: 760
    height: 680 + menuBar.implicitHeight
    visible: true
    color: Theme.ground
    font.pixelSize: 13

    palette {
        window: Theme.ground
        windowText: Theme.ink
        base: Theme.ground
        alternateBase: Theme.panel
        text: Theme.ink
        button: Theme.panel
        buttonText: Theme.ink
        brightText: Theme.ground
        highlight: Theme.select
        highlightedText: Theme.ground
        light: Theme.panel
        midlight: Theme.line
        mid: Theme.lineStrong
        dark: Theme.lineStrong
        shadow: Theme.line
        toolTipBase: Theme.panel
        toolTipText: Theme.ink
        placeholderText: Theme.muted
        link: Theme.select
    }

    menuBar: B.MenuBar {
        delegate: B.MenuBarItem {
            id: menuItem
            leftPadding: 10
            rightPadding: 10
            topPadding: 4
            bottomPadding: 4
            font.pixelSize: 13
            Accessible.name: text.replace("&", "")
            contentItem: Text {
                text: menuItem.text.replace("&", "")
                font: menuItem.font
                color: Theme.ink
            }
            background: Rectangle {
                color: menuItem.highlighted ? Theme.hover : "transparent"
            }
        }
        background: Rectangle {
            implicitHeight: 26
            color: Theme.panel
        }
        B.Menu {
            id: fileMenu
            title: "&File"
            // Each entry is read out without the mnemonic's ampersand.
            B.MenuItem {
                Accessible.name: "Add Files…"
                action: B.Action {
                    text: "&Add Files…"
                    shortcut: StandardKey.Open
                    onTriggered: window.model.intake.chooseFiles()
                }
            }
            B.MenuSeparator {}
            B.MenuItem {
                Accessible.name: "Quit"
                action: B.Action {
                    text: "&Quit"
                    shortcut: StandardKey.Quit
                    onTriggered: window.close()
                }
            }
        }
        B.Menu {
            id: helpMenu
            title: "&Help"
            B.MenuItem {
                text: "&About Tessera"
                Accessible.name: "About Tessera"
                onTriggered: about.open()
            }
        }
    }
    PopupName { popup: fileMenu; name: "File" }
    PopupName { popup: helpMenu; name: "Help" }

    ContentView {
        id: content
        anchors.fill: parent
        model: window.model
    }
    // A sheet or menu that closed leaves the keyboard to the window itself: the step takes it.
    onActiveFocusItemChanged: if (activeFocusItem === contentItem) content.settleFocus()

    onClosing: (close) => {
        if (window.model.quitNeedsConfirmation && !window.quitConfirmed) {
            close.accepted = false
            quitGuard.open()
        }
    }

    QuitGuard {
        id: quitGuard
        onQuitChosen: {
            window.quitConfirmed = true
            window.close()
        }
    }

    SignInSheet {
        signIn: window.model.run.signIn
    }

    FileDialog {
        id: chooser
        title: "Add files"
        fileMode: FileDialog.OpenFiles
        nameFilters: ["Reel files (*.mov *.MOV *.edl *.EDL)"]
        acceptLabel: "Add"
        onAccepted: {
            window.model.add(selectedFiles)
            content.settleFocus()
        }
        onRejected: content.settleFocus()
    }

    Connections {
        target: window.model.intake
        function onChooseFilesRequested() { chooser.open() }
    }
    Connections {
        target: window.model
        function onShrinkRequested() {
            window.width = window.minimumWidth
            window.height = window.minimumHeight
        }
    }

    B.Dialog {
        id: about
        anchors.centerIn: parent
        modal: true
        title: "Tessera"
        standardButtons: B.Dialog.Close
        TextLine {
            // Updates come with the system's own software updates: there is no update check here.
            text: "Sends Halcyon reels to the reel check.\nVersion " + Qt.application.version
                  + "\nUpdates come with your system's software updates."
            color: Theme.ink
            font.pixelSize: 13
        }
    }
}
