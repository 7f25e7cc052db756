import QtQuick

// A small drawn symbol, named like the system symbols it stands for: circle, circle.dotted,
// checkmark, xmark, arrow.right, arrow.down.to.line, arrow.uturn.backward, chevron.right,
// plus.circle.
Canvas {
    id: symbol
    property string name: "circle"
    property color color: "black"
    property real size: 11
    property bool bold: false

    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onBoldChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        const s = Math.min(width, height)
        if (s <= 0)
            return
        const lw = Math.max(1, s * (bold ? 0.16 : 0.11))
        const x0 = (width - s) / 2, y0 = (height - s) / 2
        const p = (fx, fy) => [x0 + fx * s, y0 + fy * s]
        ctx.strokeStyle = color
        ctx.fillStyle = color
        ctx.lineWidth = lw
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        const r = s / 2 - lw / 2
        const cx = x0 + s / 2, cy = y0 + s / 2
        const line = (pts) => {
            ctx.beginPath()
            ctx.moveTo(...p(pts[0][0], pts[0][1]))
            for (let i = 1; i < pts.length; ++i)
                ctx.lineTo(...p(pts[i][0], pts[i][1]))
            ctx.stroke()
        }
        switch (name) {
        case "circle":
            ctx.beginPath(); ctx.arc(cx, cy, r, 0, 2 * Math.PI); ctx.stroke()
            break
        case "circle.dotted":
            for (let i = 0; i < 8; ++i) {
                const a = i * Math.PI / 4
                ctx.beginPath(); ctx.arc(cx, cy, r, a, a + Math.PI / 9); ctx.stroke()
            }
            break
        case "checkmark":
            line([[0.12, 0.55], [0.4, 0.82], [0.9, 0.18]])
            break
        case "xmark":
            line([[0.18, 0.18], [0.82, 0.82]]); line([[0.82, 0.18], [0.18, 0.82]])
            break
        case "arrow.right":
            line([[0.1, 0.5], [0.88, 0.5]]); line([[0.55, 0.18], [0.88, 0.5], [0.55, 0.82]])
            break
        case "arrow.down.to.line":
            line([[0.5, 0.08], [0.5, 0.7]]); line([[0.22, 0.44], [0.5, 0.72], [0.78, 0.44]])
            line([[0.12, 0.92], [0.88, 0.92]])
            break
        case "arrow.uturn.backward":
            ctx.beginPath(); ctx.arc(x0 + 0.55 * s, y0 + 0.55 * s, 0.3 * s, -Math.PI / 2, Math.PI / 2); ctx.stroke()
            line([[0.55, 0.25], [0.15, 0.25]]); line([[0.32, 0.08], [0.15, 0.25], [0.32, 0.42]])
            line([[0.55, 0.85], [0.3, 0.85]])
            break
        case "chevron.right":
            line([[0.35, 0.12], [0.7, 0.5], [0.35, 0.88]])
            break
        case "plus.circle":
            ctx.beginPath(); ctx.arc(cx, cy, r, 0, 2 * Math.PI); ctx.stroke()
            line([[0.5, 0.28], [0.5, 0.72]]); line([[0.28, 0.5], [0.72, 0.5]])
            break
        }
    }
}
