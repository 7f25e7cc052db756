import QtQuick
import Tessera.Controls

// The three steps as indicators: "{n}  {TITLE}", the current one bold in ink and underlined.
// When the full form does not fit, the steps other than the current one show their number only.
Row {
    id: tabs
    property int current: 1
    property real available: 10000
    readonly property var titles: ["Drop", "Confirm", "Copy and submit"]
    readonly property real fullWidth: full.implicitWidth
    readonly property bool compact: fullWidth > available

    spacing: compact ? 10 : 16

    // The full form's width, measured once, to choose the form.
    Row {
        id: full
        visible: false
        spacing: 16
        Repeater {
            model: tabs.titles
            TextLine {
                required property int index
                required property string modelData
                text: (index + 1) + "  " + modelData.toUpperCase()
                font.pixelSize: 11
                font.letterSpacing: 0.8
                font.bold: true
            }
        }
    }

    Repeater {
        model: tabs.titles
        Column {
            id: tab
            required property int index
            required property string modelData
            readonly property bool isCurrent: index + 1 === tabs.current
            spacing: 4
            TextLine {
                id: title
                text: (tab.index + 1) + (tabs.compact && !tab.isCurrent ? "" : "  " + tab.modelData.toUpperCase())
                color: tab.isCurrent ? Theme.ink : Theme.muted
                font.pixelSize: 11
                font.letterSpacing: 0.8
                font.weight: tab.isCurrent ? Font.Bold : Font.Medium
            }
            Rectangle {
                // The title's width, not the column's: the column takes its width from its
                // children, so it would keep the full form's width after going compact.
                width: title.width
                height: 2
                color: tab.isCurrent ? Theme.ink : "transparent"
            }
        }
    }
}
