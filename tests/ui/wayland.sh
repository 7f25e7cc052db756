#!/usr/bin/env bash
# Runs a command in a Wayland session on headless.sh's display: wayland.sh COMMAND [ARG...].
# Weston's X11 back-end gives a compositor with a seat (its headless back-end has none, and
# Qt 6.4's text fields crash without one); keys sent to the X display reach its clients.
set -euo pipefail
socket="tessera-wayland-$$"
weston --backend=x11-backend.so --socket="$socket" --width=1000 --height=800 --idle-time=0 \
    >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
weston=$!
trap 'kill "$weston" 2>/dev/null; wait "$weston" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [[ -S "$XDG_RUNTIME_DIR/$socket" ]] && break
    sleep 0.1
done
export WAYLAND_DISPLAY="$socket" TESSERA_TEST_WAYLAND=1
"$@"
