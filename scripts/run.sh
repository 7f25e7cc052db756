#!/usr/bin/env bash
# Builds Tessera (installing what is missing) and opens it against stand-ins on this computer: the
# reel check service stand-in with its sample reels and Slack users, and a local folder standing for
# the NAS. The trial has settings of its own, so the editor's own Tessera settings stay untouched;
# the stand-in stops when the window closes.
#   scripts/run.sh [FILE...]     the files are added as if dropped on the window
# TESSERA_TRIAL_DIR (default ~/.cache/tessera-trial) holds the trial's settings and its NAS folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
build="$root/build"

trial=${TESSERA_TRIAL_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tessera-trial}
nas="$trial/nas"
drop="$nas/Halcyon_Drop/Reels"
mkdir -p "$drop" "$trial/config/Kestrel"

# Port 8790 as the real service uses, or any free one when something else holds it.
listen=127.0.0.1:8790
if (exec 3<>/dev/tcp/127.0.0.1/8790) 2>/dev/null; then
    listen=127.0.0.1:0
fi
log="$trial/reelcheck-service.log"
"$build/tools/reelcheck-service/tessera-reelcheck-service" --listen "$listen" --drop "$drop" \
    >"$log" 2>&1 &
service=$!
trap 'kill "$service" 2>/dev/null; wait "$service" 2>/dev/null || true' EXIT
base=
for _ in $(seq 100); do
    base=$(sed -n 's/^Listening on \(http:[^ ]*\)$/\1/p' "$log")
    [[ -n "$base" ]] && break
    kill -0 "$service" 2>/dev/null || { cat "$log" >&2; exit 1; }
    sleep 0.1
done
[[ -n "$base" ]] || { echo "The reel check stand-in did not start; see $log" >&2; exit 1; }

cat >"$trial/config/Kestrel/Tessera.conf" <<CONF
[General]
apiBase=$base
nasURL=$(printf 'file://%s' "$nas" | sed 's/%/%25/g; s/ /%20/g')
CONF
echo "Tessera trial: reel check stand-in at $base, NAS folder $nas"
XDG_CONFIG_HOME="$trial/config" "$build/ui/tessera" "$@"
