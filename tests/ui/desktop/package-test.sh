#!/usr/bin/env bash
# Installs Tessera into a scratch root, validates its desktop files as the desktop tools do, and
# builds the Debian package, whose contents and dependencies are read back with dpkg-deb.
#   package-test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null
share="$scratch/usr/share"
test -x "$scratch/usr/bin/tessera"
desktop-file-validate "$share/applications/com.kestrel.Tessera.desktop"
appstreamcli validate --no-net "$share/metainfo/com.kestrel.Tessera.metainfo.xml" >/dev/null
for size in 16 32 48 64 128 256; do
    test -s "$share/icons/hicolor/${size}x${size}/apps/com.kestrel.Tessera.png"
done
grep -q '^Exec=.*/tessera$' "$share/dbus-1/services/com.kestrel.Tessera.service"
grep -q 'pattern="\*.edl"' "$share/mime/packages/tessera-edl.xml"

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null)
deb=$(ls "$scratch"/package/tessera_*.deb)
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/tessera ./usr/share/applications/com.kestrel.Tessera.desktop \
    ./usr/share/metainfo/com.kestrel.Tessera.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/com.kestrel.Tessera.svg; do
    grep -qF " $file" <<<"$contents" || { echo "the package lacks $file"; exit 1; }
done
if grep -qE 'tessera-(reelcheck-service|bench)' <<<"$contents"; then
    echo "the package carries test tools"; exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binary: the Qt libraries it links, and the C library.
for library in libqt6core6 libqt6quick6 libqt6dbus6 libc6; do
    grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
grep -q 'qml6-module-qtquick-controls' <<<"$depends"
echo "package test: installed files valid, $(basename "$deb") carries $(wc -l <<<"$contents") entries"
