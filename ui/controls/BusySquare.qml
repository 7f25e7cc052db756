import QtQuick
import Tessera.Controls

// A square outline that keeps turning while the run is under way; still when the desktop asks
// for less motion.
Item {
    id: busy
    property color color: Theme.warning

    implicitWidth: 20
    implicitHeight: 20
    Accessible.ignored: true
    Rectangle {
        anchors.centerIn: parent
        width: 13
        height: 13
        color: "transparent"
        border.width: 2
        border.color: busy.color
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 1600
            loops: Animation.Infinite
            running: busy.visible && !Appearance.reduceMotion
        }
    }
}
