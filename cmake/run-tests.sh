#!/usr/bin/env bash
# Runs every test: the native unit tests, then the Windows build's tests under Wine.
set -uo pipefail
FWU_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWU_ROOT"
status=0

ctest --test-dir build/native --output-on-failure -j2 || status=1

for extra in build/asan; do
    [ -f "$extra/CTestTestfile.cmake" ] && { ctest --test-dir "$extra" --output-on-failure -j2 || status=1; }
done

source cmake/wine-session.sh
trap wine_session_stop EXIT
wine_session_start virtual
ctest --test-dir build/win --output-on-failure || status=1
exit $status
