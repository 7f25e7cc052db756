import QtQuick
import QtQuick.Layouts
import Tessera
import Tessera.Controls

// The window's root: header, a rule, and the body of the current step; the help sheet on top.
Item {
    id: content
    required property AppModel model

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        Header {
            Layout.fillWidth: true
            model: content.model
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.line
        }
        Loader {
            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: content.model.step === 1 ? dropStep
                             : content.model.step === 2 ? confirmStep : copyStep
        }
    }

    Component { id: dropStep; DropStep { model: content.model } }
    Component { id: confirmStep; ConfirmStep { model: content.model } }
    Component { id: copyStep; CopyStep { model: content.model } }

    HelpSheet {
        model: content.model
    }
}
