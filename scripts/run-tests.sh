#!/usr/bin/env bash
# Runs every test: the native unit tests, the sanitized trees, then the Windows build's
# tests under Wine. `run-tests.sh tsan` runs only the ThreadSanitizer stage.
set -uo pipefail
FWU_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWU_ROOT"
status=0

# The ThreadSanitizer tree holds the unit test binaries only (not fwtool, whose tests
# are left out); any report ends the test process with a failure.
tsan_stage() {
    [ -f build/tsan/CTestTestfile.cmake ] || return 0
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
        ctest --test-dir build/tsan --output-on-failure -j2 -E '^fwtool_' || status=1
}
if [ "${1:-}" = tsan ]; then
    tsan_stage
    exit $status
fi

ctest --test-dir build/native --output-on-failure -j2 || status=1

# The sanitized tree: any report (leaks included) ends the test process with a failure.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for extra in build/asan; do
    [ -f "$extra/CTestTestfile.cmake" ] && { ctest --test-dir "$extra" --output-on-failure -j2 || status=1; }
done
unset ASAN_OPTIONS UBSAN_OPTIONS
tsan_stage

source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start virtual
ctest --test-dir build/win --output-on-failure || status=1
exit $status
