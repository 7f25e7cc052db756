#!/usr/bin/env bash
# Builds Tessera (installing what is missing) and runs every test.
#   scripts/test.sh              normal build
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build, with short fuzz runs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh" "$@"
build="$root/build"
[[ " $* " == *" --sanitize "* ]] && build="$root/build-sanitize"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure --timeout 900 -j2
