import QtQuick
import QtQuick.Templates as T
import Tessera.Controls

// A horizontal progress bar; assistive technology reads it as "{p} percent", with its value.
T.ProgressBar {
    id: bar
    property real fraction: 0
    readonly property int percent: Math.floor(Math.min(1, Math.max(0, fraction)) * 100 + 1e-9)
    // The names under which assistive technology asks for the bounds.
    readonly property real minimumValue: from
    readonly property real maximumValue: to

    implicitHeight: 4
    from: 0
    to: 100
    value: percent
    Accessible.name: percent + " percent"
    background: Rectangle { color: Theme.line }
    contentItem: Item {
        Rectangle {
            width: parent.width * Math.min(1, Math.max(0, bar.fraction))
            height: parent.height
            color: Theme.select
        }
    }
}
