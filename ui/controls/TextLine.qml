import QtQuick

// Text that assistive technology reads out: Qt Quick leaves plain Text out of the tree.
Text {
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}
