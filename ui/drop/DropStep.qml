import QtQuick
import QtQuick.Controls.Basic as B
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The first step: who the editor is, the drop box, what has been dropped, and "Continue".
FocusScope {
    id: step
    required property AppModel app
    readonly property Intake intake: app.intake
    readonly property bool hasFiles: intake.fileCount > 0 || intake.edlFileName.length > 0

    // The keyboard to the name while one is asked for, else to Continue or "Choose files".
    function settleFocus() {
        if (!who.takeFocus())
            (continueButton.enabled ? continueButton : chooseButton).forceActiveFocus(Qt.TabFocusReason)
    }

    // "Continue" is the step's default action, for Return wherever no control takes it.
    Keys.onReturnPressed: if (step.app.canContinue) step.app.goToConfirm()
    Keys.onEnterPressed: if (step.app.canContinue) step.app.goToConfirm()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        B.ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: scroller.availableWidth
                spacing: 16

                WhoAreYou {
                    id: who
                    Layout.fillWidth: true
                    Layout.topMargin: 20
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    identity: step.app.identity
                    onSettled: step.settleFocus()
                    // The list of names came once the keyboard had gone elsewhere.
                    onModeChanged: {
                        const at = step.Window.activeFocusItem
                        if (at === step || at === continueButton || at === chooseButton)
                            step.settleFocus()
                    }
                }

                RowLayout {
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    visible: step.app.reels.keptReel.name !== undefined
                    spacing: 10
                    Label { text: "Resubmitting" }
                    TextLine {
                        text: step.app.reels.keptReel.name ?? ""
                        color: Theme.ink
                        font.family: Theme.monospace
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                    }
                }

                FileDropArea {
                    id: dropArea
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    Layout.preferredHeight: step.hasFiles ? 150 : 220
                    model: step.app

                    Rectangle {
                        anchors.fill: parent
                        color: dropArea.hover ? Theme.hover : Theme.panel
                        border.width: dropArea.hover ? 2 : 0
                        border.color: Theme.select
                    }
                    // The dashed frame while nothing hovers.
                    Canvas {
                        id: dashes
                        anchors.fill: parent
                        visible: !dropArea.hover
                        property color tint: Theme.lineStrong
                        onTintChanged: requestPaint()
                        onWidthChanged: requestPaint()
                        onHeightChanged: requestPaint()
                        onPaint: {
                            const ctx = getContext("2d")
                            ctx.reset()
                            ctx.strokeStyle = tint
                            ctx.lineWidth = 1
                            ctx.setLineDash([4, 3])
                            ctx.strokeRect(0.5, 0.5, width - 1, height - 1)
                        }
                    }
                    Column {
                        anchors.centerIn: parent
                        width: parent.width - 40
                        spacing: 8
                        Symbol {
                            anchors.horizontalCenter: parent.horizontalCenter
                            name: "arrow.down.to.line"
                            size: 26
                            color: Theme.ink
                        }
                        TextLine {
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            text: "DRAG YOUR EXPORTED REEL FILES HERE"
                            color: Theme.ink
                            font.pixelSize: 13
                            wrapMode: Text.Wrap
                        }
                        TextLine {
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            text: "The .mov files, and the EDL if you made a new one. You can also drop them on the Tessera icon in your dock or panel."
                            color: Theme.muted
                            font.pixelSize: 12
                            wrapMode: Text.Wrap
                        }
                        SquareButton {
                            id: chooseButton
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "Choose files"
                            onClicked: step.intake.chooseFiles()
                        }
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 20
                    Layout.rightMargin: 20
                    Layout.bottomMargin: 20
                    visible: step.hasFiles
                    spacing: 0

                    TextLine {
                        Layout.bottomMargin: 6
                        text: step.intake.fileCount + (step.intake.fileCount === 1 ? " file" : " files")
                              + (step.intake.edlFileName.length > 0 ? " and an EDL" : "")
                        color: Theme.ink
                        font.pixelSize: 12
                        font.weight: Font.DemiBold
                    }
                    Repeater {
                        model: step.intake.files
                        FileLine {
                            required property string fileID
                            required property string name
                            required property string surface
                            required property string surfaceLabel
                            required property string proxyLabel
                            Layout.fillWidth: true
                            fileName: name
                            slotSurface: surface
                            slotLabel: surfaceLabel
                            slotProxyLabel: proxyLabel
                            detail: "Pick on the next step"
                            onRemove: step.intake.remove(fileID)
                        }
                    }
                    FileLine {
                        Layout.fillWidth: true
                        visible: step.intake.edlFileName.length > 0
                        fileName: step.intake.edlFileName
                        detail: "EDL"
                        onRemove: step.intake.removeEDL()
                    }
                }
            }
        }

        FocusScroller { flickable: scroller.contentItem }

        Footer {
            Layout.fillWidth: true
            Message {
                Layout.fillWidth: true
                Layout.maximumWidth: 360
                visible: step.intake.dropMessage.length > 0
                tone: "warning"
                text: step.intake.dropMessage
            }
            TextLine {
                visible: step.hasFiles && !step.app.identity.nameFits
                text: step.app.identity.usersState === UsersState.Loaded ? "Pick your name to carry on." : "Type your name to carry on."
                color: Theme.muted
                font.pixelSize: 12
            }
            Item { Layout.fillWidth: true }
            SquareButton {
                visible: step.app.reels.keptReel.name !== undefined
                text: "Start over"
                onClicked: step.app.startOver()
            }
            SquareButton {
                id: continueButton
                text: "Continue"
                primary: true
                enabled: step.app.canContinue
                onClicked: step.app.goToConfirm()
            }
        }
    }
}
