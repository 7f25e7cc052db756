#!/usr/bin/env bash
# Installs Tessera into a scratch root, validates its desktop files and manual pages as the desktop
# tools and man do, and builds the Debian packages, whose contents and dependencies are read back
# with dpkg-deb and which lintian must pass without an error or a warning.
#   package-test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*"; exit 1; }

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
for page in tessera tessera-check; do
    warnings=$(man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man warns about $page.1: $warnings"
done

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" \
    >"$scratch/cpack.log" 2>&1) || fail "cpack failed: $(cat "$scratch/cpack.log")"
deb=$(ls "$scratch"/package/tessera_*.deb)
check_deb=$(ls "$scratch"/package/tessera-check_*.deb)
version=$(dpkg-deb -f "$deb" Version)
zcat "$share/doc/tessera/changelog.gz" >"$scratch/changelog"
changelog_version=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)
[[ $changelog_version == "$version" ]] ||
    fail "the changelog's latest entry is $changelog_version, the package $version: add an entry to doc/changelog"

# Both answer on a terminal without a display.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
answer=$("${headless[@]}" "$scratch/usr/bin/tessera" --version)
[[ $answer == "Tessera $version" ]] || fail "tessera --version says: $answer"
"${headless[@]}" "$scratch/usr/bin/tessera" --help | grep -q -- '--version' || fail "tessera --help lacks --version"
answer=$("$scratch/usr/bin/tessera-check" --version)
[[ $answer == "tessera-check $version" ]] || fail "tessera-check --version says: $answer"

contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/tessera ./usr/share/applications/com.kestrel.Tessera.desktop \
    ./usr/share/metainfo/com.kestrel.Tessera.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/com.kestrel.Tessera.svg \
    ./usr/share/man/man1/tessera.1.gz ./usr/share/doc/tessera/copyright \
    ./usr/share/doc/tessera/changelog.gz; do
    grep -qF " $file" <<<"$contents" || fail "the tessera package lacks $file"
done
check_contents=$(dpkg-deb -c "$check_deb")
for file in ./usr/bin/tessera-check ./usr/share/man/man1/tessera-check.1.gz \
    ./usr/share/doc/tessera-check/copyright ./usr/share/doc/tessera-check/changelog.gz; do
    grep -qF " $file" <<<"$check_contents" || fail "the tessera-check package lacks $file"
done
if grep -qE 'tessera-(reelcheck-service|bench)' <<<"$contents$check_contents"; then
    fail "a package carries test tools"
fi

depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binary: the Qt libraries it links, and the C library.
for library in libqt6core6 libqt6quick6 libqt6dbus6 libc6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -q 'qml6-module-qtquick-controls' <<<"$depends"
# A render machine gets the checker without a desktop.
check_depends=$(dpkg-deb -f "$check_deb" Depends)
grep -q libqt6core6 <<<"$check_depends" || fail "tessera-check's Depends lacks libqt6core6: $check_depends"
if grep -qE 'libqt6gui|libqt6quick|qml6-|gvfs|tessera' <<<"$check_depends"; then
    fail "tessera-check depends on the desktop: $check_depends"
fi

if ! report=$(lintian --fail-on error,warning "$deb" "$check_deb" 2>&1); then
    fail "lintian rejects the packages: $report"
fi
echo "package test: installed files valid, $(basename "$deb") carries $(wc -l <<<"$contents") entries," \
    "$(basename "$check_deb") $(wc -l <<<"$check_contents"); lintian passes both"
