#!/bin/bash
# Runs the SMB share test executable against a real Samba server mounted through GVfs, all inside
# private network, mount and process namespaces so that nothing reaches or stays on the machine.
# Usage: [TESSERA_SMB_LINK=loopback|shaped] [TESSERA_SMB_RATE=1gbit] \
#        run-share-test.sh <test executable> [test function...]
#   loopback (default): smbd on 127.0.0.1 beside the client.
#   shaped: smbd in a network namespace of its own, joined to the client's by a veth pair whose
#     two ends are shaped like a gigabit LAN (tbf at TESSERA_SMB_RATE), for the benchmarks.
# Exit code 77 means the machine cannot do it (ctest shows the test as skipped).
set -u
link=${TESSERA_SMB_LINK:-loopback}

skip() {
    echo "SKIP: the SMB share test cannot run here: $*"
    exit 77
}

if [[ ${TESSERA_SMB_INSIDE:-} != 1 ]]; then
    [[ $# -ge 1 && -x $1 ]] || { echo "usage: $0 <test executable> [test function...]"; exit 2; }
    [[ $(id -u) == 0 ]] || skip "it needs root for a private network namespace and for smbd"
    [[ $link == loopback || $link == shaped ]] || { echo "TESSERA_SMB_LINK must be loopback or shaped"; exit 2; }
    tools="unshare ip smbd pdbedit dbus-daemon dbus-send timeout"
    [[ $link == shaped ]] && tools+=" nsenter tc"
    for tool in $tools; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (see scripts/packages.txt)"
    done
    for daemon in gvfsd gvfsd-fuse gvfsd-smb; do
        [[ -x /usr/libexec/$daemon ]] || skip "/usr/libexec/$daemon is missing (packages gvfs-backends, gvfs-fuse)"
    done
    [[ -c /dev/fuse ]] || skip "there is no /dev/fuse"
    timeout 10 unshare --net --mount --pid --fork true 2>/dev/null || skip "unshare cannot make namespaces here"
    started=$(date +%s%N)
    # Stopping this script (ctest's time-out) stops the namespace's first process, whose trap
    # cleans up.
    TESSERA_SMB_INSIDE=1 timeout -k 5 "$(( ${TESSERA_SMB_SECONDS:-120} + 50 ))" unshare --net --mount --pid --fork --mount-proc --kill-child=TERM \
        "$0" "$@" &
    inner=$!
    trap 'kill -TERM "$inner" 2>/dev/null' INT TERM
    wait "$inner"
    status=$?
    # A trapped signal ends the first wait early.
    if kill -0 "$inner" 2>/dev/null; then
        wait "$inner"
        status=$?
    fi
    echo "SMB share test: exit $status after $(( ($(date +%s%N) - started) / 1000000 )) ms"
    exit $status
fi

# From here on this script is process 1 of its own namespaces: every process it starts dies with it.
binary=$(readlink -f "$1")
shift
work=$(mktemp -d /tmp/tessera-smb.XXXXXX)
pids=()

stop() {
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 30); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$1" 2>/dev/null
}

cleanup() {
    trap - EXIT
    trap '' INT TERM
    timeout 5 umount -l "$work/run/gvfs" 2>/dev/null
    local i child
    for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do
        # The backends gvfsd started for each mount.
        for child in $(ps -o pid= --ppid "${pids[i]}" 2>/dev/null); do
            stop "$child"
        done
        stop "${pids[i]}"
    done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*"
    for log in "$work"/logs/*; do
        echo "--- $log"
        tail -n 40 "$log"
    done
    exit 1
}

wait_for() { # what, seconds, command...
    local what=$1 tries=$(( $2 * 10 ))
    shift 2
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "$what did not come up"
}

mkdir -p "$work"/{smb/lock,smb/state,smb/cache,smb/pid,smb/private,smb/ncalrpc,run,home,logs}
mkdir -p "$work/shares/Drop Box/Halcyon_Drop/Reels" "$work/shares/private"
chmod 700 "$work/run"
timeout 5 ip link set lo up || fail "the loopback interface cannot be brought up"

host=127.0.0.1
server=()   # runs a command in the server's network namespace
if [[ $link == shaped ]]; then
    # Link-local addresses: the namespaces hold nothing but their loopback and this pair.
    host=169.254.77.1
    client=169.254.77.2
    rate=${TESSERA_SMB_RATE:-1gbit}
    unshare --net sleep infinity &
    holder=$!
    pids+=($holder)
    wait_for "the server's network namespace" 10 \
        bash -c "[[ \$(readlink /proc/$holder/ns/net) != \$(readlink /proc/self/ns/net) ]]"
    server=(nsenter "--net=/proc/$holder/ns/net")
    ip link add lan0 type veth peer name lan1 netns "$holder" || fail "no veth pair"
    ip addr add "$client/24" dev lan0 && ip link set lan0 up || fail "the client's end stays down"
    "${server[@]}" ip link set lo up && "${server[@]}" ip addr add "$host/24" dev lan1 &&
        "${server[@]}" ip link set lan1 up || fail "the server's end stays down"
    # Cubic, as a Linux NAS and client have; set per route, as a namespace may not choose by
    # sysctl.
    ip route replace 169.254.77.0/24 dev lan0 scope link src "$client" congctl cubic &&
        "${server[@]}" ip route replace 169.254.77.0/24 dev lan1 scope link src "$host" congctl cubic ||
        echo "note: cubic refused; the host's congestion control is used"
    # A gigabit port shapes what leaves it, on both sides.
    tc qdisc add dev lan0 root tbf rate "$rate" burst 256kb latency 20ms &&
        "${server[@]}" tc qdisc add dev lan1 root tbf rate "$rate" burst 256kb latency 20ms ||
        fail "tbf refused the shaping"
    wait_for "the veth pair" 10 bash -c 'ip link show lan0 | grep -q "state UP"'
    # For tests that cut the link on both ends (lan0 here, lan1 there) and restore it.
    export TESSERA_SMB_SERVER_NET=/proc/$holder/ns/net TESSERA_SMB_RATE=$rate
fi

cat > "$work/smb.conf" <<CONF
[global]
  server role = standalone server
  interfaces = $host
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  server min protocol = SMB2_02
  lock directory = $work/smb/lock
  state directory = $work/smb/state
  cache directory = $work/smb/cache
  pid directory = $work/smb/pid
  private dir = $work/smb/private
  ncalrpc dir = $work/smb/ncalrpc
  passdb backend = tdbsam:$work/smb/private/passdb.tdb
  log file = $work/logs/smbd.log
  log level = 1
  map to guest = Bad User
  guest account = root
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
[Drop Box]
  path = $work/shares/Drop Box
  guest ok = yes
  read only = no
  force user = root
[private]
  path = $work/shares/private
  guest ok = no
  valid users = root
  read only = no
  force user = root
CONF

# The password share's account; the passdb is private to this run.
password=halcyon-$RANDOM$RANDOM
printf '%s\n%s\n' "$password" "$password" | timeout 10 pdbedit -s "$work/smb.conf" -a -u root -t >/dev/null \
    || fail "pdbedit could not add the share's account"

"${server[@]}" smbd -s "$work/smb.conf" --foreground --debug-stdout >"$work/logs/smbd.out" 2>&1 &
pids+=($!)
wait_for "smbd on $host:445" 20 timeout 1 bash -c "</dev/tcp/$host/445"

cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/run/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
export XDG_RUNTIME_DIR=$work/run HOME=$work/home DBUS_SESSION_BUS_ADDRESS=unix:path=$work/run/bus
# Only the daemons started here: no volume monitors are looked for.
export GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile >"$work/logs/dbus.out" 2>&1 &
pids+=($!)
wait_for "the session bus" 10 test -S "$work/run/bus"

/usr/libexec/gvfsd --no-fuse >"$work/logs/gvfsd.out" 2>&1 &
pids+=($!)
wait_for "gvfsd" 10 timeout 2 dbus-send --session --print-reply --dest=org.gtk.vfs.Daemon / \
    org.freedesktop.DBus.Peer.Ping
mkdir -p "$work/run/gvfs"
/usr/libexec/gvfsd-fuse "$work/run/gvfs" -f >"$work/logs/gvfsd-fuse.out" 2>&1 &
pids+=($!)
wait_for "the GVfs FUSE mount" 10 grep -q " fuse.gvfsd-fuse " /proc/self/mountinfo

export TESSERA_SMB_HOST=$host
export TESSERA_SMB_GUEST_SHARE="Drop Box" TESSERA_SMB_GUEST_DIR="$work/shares/Drop Box"
export TESSERA_SMB_PRIVATE_SHARE=private TESSERA_SMB_PRIVATE_DIR=$work/shares/private
export TESSERA_SMB_USER=root TESSERA_SMB_PASSWORD=$password
timeout -k 5 "${TESSERA_SMB_SECONDS:-120}" "$binary" "$@"
status=$?
[[ $status == 0 ]] || fail "the test executable ended with $status"
exit 0
