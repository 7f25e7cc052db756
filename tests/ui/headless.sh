#!/usr/bin/env bash
# Runs a command on a private X display with a private session bus and the accessibility bus, as
# the window tests need: headless.sh COMMAND [ARG...]. The command sees DISPLAY, the buses and a
# private XDG_RUNTIME_DIR; everything started here is stopped by its pid afterwards. With
# TESSERA_HEADLESS_KEEP_BUS set, the caller's session bus and XDG_RUNTIME_DIR are kept.
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
    runtime=$(mktemp -d)
    chmod 700 "$runtime"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$runtime/display" 2>"$runtime/xvfb.log" &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$runtime"' EXIT
    for _ in $(seq 100); do
        [[ -s "$runtime/display" ]] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$runtime/display")"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    status=0
    if [[ -n "${TESSERA_HEADLESS_KEEP_BUS:-}" ]]; then
        # Inside the SMB share script: its session bus and runtime folder hold GVfs.
        "$0" --inside "$@" || status=$?
    else
        export XDG_RUNTIME_DIR="$runtime"
        dbus-run-session -- "$0" --inside "$@" || status=$?
    fi
    exit "$status"
fi
shift

# Without the first, a Qt application never appears in the accessibility tree.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
# Asking the bus for its address first would start a second launcher: wait for the name instead.
for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.1
done
/usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
pids+=($!)
sleep 0.3
"$@"
