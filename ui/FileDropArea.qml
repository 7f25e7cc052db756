import QtQuick
import Tessera

// Takes files dropped on it and hands their locations to the model, all at once; `hover` is on
// while a drag with files is over it.
DropArea {
    id: area
    required property AppModel model
    readonly property bool hover: containsDrag

    keys: ["text/uri-list"]
    onDropped: (drop) => {
        const files = []
        for (const url of drop.urls) {
            if (url.toString().startsWith("file:"))
                files.push(url)
        }
        area.model.add(files)
        drop.accept(Qt.CopyAction)
    }
}
