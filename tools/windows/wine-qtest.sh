#!/usr/bin/env bash
# Runs a Windows QtTest program under Wine for CTest (CMake's cross-compiling emulator).
#   wine-qtest.sh QT_PREFIX WINE_PREFIX PROGRAM [ARGUMENTS...]
# A Windows program's console output may not reach CTest: the results go through a file, and the
# exit status is the program's own.
set -uo pipefail
qt=$1 prefix=$2 program=$3
shift 3
. "$(dirname "$0")/wine-env.sh"
wine_env "$qt" "$prefix"
unset DISPLAY WAYLAND_DISPLAY
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$program" "$@" -o "$(winpath "$out"),txt"
status=$?
cat "$out"
exit "$status"
