#!/usr/bin/env bash
# `make bench`: builds and runs the benchmarks (never part of `make test`) and prints one
# table of figures against their targets. The native suite runs with Google Benchmark; when
# mingw and Wine are at hand, the Windows pauses are measured under Wine first and join
# the table. Takes about two and a half minutes, most of it two whole updates with real
# pauses (one instrument, then 32 at once).
set -euo pipefail
FWU_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWU_ROOT"
BENCH=build/bench
mkdir -p "$BENCH"

echo "Building the benchmarks ..." >&2
if ! { cmake -S . -B "$BENCH/native" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$BENCH/native" --target fw_bench -- -j2; } >"$BENCH/build.log" 2>&1; then
    cat "$BENCH/build.log" >&2
    exit 1
fi

extra="$BENCH/windows-pauses.tsv"
: >"$extra"
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
    x86_64-w64-mingw32-g++-posix -O2 -std=c++17 -static -Isrc bench/win/sleep_bench.cpp \
        src/os/win/timer_resolution.cpp src/os/win/sleep_at_least.cpp src/base/win/module_handle.cpp -o "$BENCH/sleep_bench.exe"
    export WINEPREFIX="$FWU_ROOT/$BENCH/wineprefix"
    source scripts/wine-session.sh
    trap wine_session_stop EXIT
    echo "Measuring Windows pauses under Wine ..." >&2
    wine_session_start virtual
    wine "$BENCH/sleep_bench.exe" 60 </dev/null >"$extra" 2>/dev/null ||
        echo "Windows pauses could not be measured under Wine" >&2
    wine_session_stop
fi

echo "Running the benchmarks (each whole update with real pauses takes about 50 s) ..." >&2
"$BENCH/native/bench/fw_bench" --extra-rows="$extra"
