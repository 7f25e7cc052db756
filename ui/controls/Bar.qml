import QtQuick
import Tessera.Controls

// A horizontal progress bar; assistive technology reads it as "{p} percent".
Rectangle {
    id: bar
    property real fraction: 0
    readonly property int percent: Math.floor(Math.min(1, Math.max(0, fraction)) * 100 + 1e-9)

    implicitHeight: 4
    color: Theme.line
    // What assistive technology reads as the bar's value.
    readonly property int value: percent
    readonly property int minimumValue: 0
    readonly property int maximumValue: 100
    Accessible.role: Accessible.ProgressBar
    Accessible.name: percent + " percent"
    Rectangle {
        width: parent.width * Math.min(1, Math.max(0, bar.fraction))
        height: parent.height
        color: Theme.select
    }
}
