pragma Singleton
import QtQuick
import Tessera.Controls

// The window's palette: eleven colours and one per surface, each in a light and a dark value.
QtObject {
    readonly property bool dark: Appearance.dark

    readonly property color ground: dark ? "#000000" : "#FFFFFF"
    readonly property color ink: dark ? "#FFFFFF" : "#000000"
    readonly property color panel: dark ? "#0F0F0F" : "#F5F5F5"
    readonly property color line: dark ? "#333333" : "#D1D1D1"
    readonly property color lineStrong: dark ? "#696969" : "#868686"
    readonly property color muted: dark ? "#A4A4A4" : "#636363"
    readonly property color select: dark ? "#77A4F6" : "#285CC2"
    readonly property color hover: dark ? "#1A2230" : "#E1E8F6"
    readonly property color ok: dark ? "#67D283" : "#1D7D3E"
    readonly property color warning: dark ? "#F7C243" : "#A06300"
    readonly property color problem: dark ? "#FD7468" : "#BE2323"

    readonly property string monospace: "DejaVu Sans Mono"

    // A surface's colour by its raw value ("awall" …); the surtitles are drawn in ink.
    function surface(name) {
        switch (name) {
        case "awall": return dark ? "#7AACF6" : "#2460B7"
        case "bwall": return dark ? "#FFA55B" : "#C75E00"
        case "cwall": return dark ? "#58D1C4" : "#008176"
        case "dwall": return dark ? "#E882C8" : "#97297B"
        case "floor": return dark ? "#D6C665" : "#7B7414"
        default: return ink
        }
    }

    // A tone ("muted", "warning", "ok", "problem", "select") names the colour of the same name.
    function tone(name) {
        switch (name) {
        case "warning": return warning
        case "ok": return ok
        case "problem": return problem
        case "select": return select
        default: return muted
        }
    }

    // The symbol each tone shows.
    function toneSymbol(name) {
        switch (name) {
        case "warning": return "circle.dotted"
        case "ok": return "checkmark"
        case "problem": return "xmark"
        case "select": return "arrow.right"
        default: return "circle"
        }
    }
}
