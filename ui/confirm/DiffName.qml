import QtQuick
import Tessera.Controls

// A new name in runs: what it shares with the old name muted, what is new in bold ink underlined
// in the select colour. Read out, and shown on hover, as the whole name. When it does not fit,
// its middle gives way: the version and the extension stay in sight.
Item {
    id: diff
    property string fullName
    property var segments: []
    readonly property bool fits: runs.implicitWidth <= width
    // The end that stays whole: "_v{stamp}.mov" (or whatever follows the last "_v"), else the
    // extension.
    readonly property string tail: {
        const found = fullName.match(/_v[^_]*$/) || fullName.match(/\.[^.]*$/)
        return found ? found[0] : ""
    }

    implicitWidth: runs.implicitWidth
    implicitHeight: runs.implicitHeight
    clip: true
    Accessible.role: Accessible.StaticText
    Accessible.name: fullName
    Row {
        id: runs
        visible: diff.fits
        Repeater {
            model: diff.segments
            Text {
                required property var modelData
                text: modelData.text
                color: modelData.changed ? Theme.ink : Theme.muted
                font.family: Theme.monospace
                font.pixelSize: 11
                font.bold: modelData.changed
                Accessible.ignored: true
                Rectangle {
                    visible: parent.modelData.changed
                    anchors { left: parent.left; right: parent.right; top: parent.baseline; topMargin: 2 }
                    height: 1
                    color: Theme.select
                }
            }
        }
    }
    Row {
        visible: !diff.fits
        Text {
            width: Math.max(0, diff.width - end.implicitWidth)
            text: diff.fullName.slice(0, diff.fullName.length - diff.tail.length)
            color: Theme.ink
            font.family: Theme.monospace
            font.pixelSize: 11
            elide: Text.ElideRight
            Accessible.ignored: true
        }
        Text {
            id: end
            text: diff.tail
            color: Theme.ink
            font.family: Theme.monospace
            font.pixelSize: 11
            Accessible.ignored: true
        }
    }
    HoverTip { text: diff.fullName }
}
