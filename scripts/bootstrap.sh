#!/usr/bin/env bash
# Installs the Debian packages Tessera needs (only those missing), then configures and builds.
#   scripts/bootstrap.sh              normal build in build/
#   scripts/bootstrap.sh --sanitize   clang build with AddressSanitizer, UndefinedBehaviorSanitizer
#                                     and the libFuzzer targets, in build-sanitize/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sanitize=0
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
    esac
done

missing=()
while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done <"$root/scripts/packages.txt"
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ((sanitize)); then
    build="$root/build-sanitize"
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTESSERA_SANITIZE=ON -DTESSERA_FUZZ=ON
else
    build="$root/build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build"
