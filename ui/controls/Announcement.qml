import QtQuick

// What a screen reader reads out as it changes: an unseen alert named `text`. Qt 6.4 offers no
// call to announce; an alert that is shown afresh under its new name is read out.
Item {
    id: announcement
    property string text

    width: 1
    height: 1
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text
    onTextChanged: {
        visible = false
        if (text.length > 0)
            Qt.callLater(() => { announcement.visible = true })
    }
}
