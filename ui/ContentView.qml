import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The window's root: header, a rule, and the body of the current step; the help sheet on top.
// Files dropped anywhere on the window go in as on the drop step's box.
Item {
    id: content
    required property AppModel model

    function settleFocus() {
        if (body.item)
            body.item.settleFocus()
    }

    FileDropArea {
        anchors.fill: parent
        model: content.model
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        Header {
            Layout.fillWidth: true
            step: content.model.step
            help: content.model.help
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }
        Loader {
            id: body
            Layout.fillWidth: true
            Layout.fillHeight: true
            focus: true
            // Each step puts the keyboard where its work starts.
            onLoaded: Qt.callLater(content.settleFocus)
            sourceComponent: content.model.step === Step.Drop ? dropStep
                             : content.model.step === Step.Confirm ? confirmStep : copyStep
        }
    }

    Component { id: dropStep; DropStep { app: content.model } }
    Component { id: confirmStep; ConfirmStep { app: content.model } }
    Component { id: copyStep; CopyStep { app: content.model } }

    HelpSheet {
        help: content.model.help
    }
}
