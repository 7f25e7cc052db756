import QtQuick
import Tessera.Controls

// Keyboard focus: the one ring every control draws, 2 points in the select colour, outside the
// control so that fills keep their colour (inside with a negative inset, for rows of a clipped
// list; on the select colour itself it is drawn in the ground colour).
Rectangle {
    property bool shown: false
    property real inset: -3
    property bool onSelect: false

    anchors.fill: parent
    anchors.margins: inset
    visible: shown
    color: "transparent"
    border.width: 2
    border.color: onSelect ? Theme.ground : Theme.select
    Accessible.ignored: true
}
