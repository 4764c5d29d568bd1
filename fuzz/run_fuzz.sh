#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) into build/fuzz, generates the
# seed corpus and runs every target for FUZZ_SECONDS (default 180) one after the other.
# The corpus grows across runs in build/fuzz/corpus/<target>; crashes, leaks, hangs and
# broken promises land in build/fuzz/findings/<target>/. Each run is added to
# build/fuzz/totals.tsv. Exit status 1 when any target found something.
#   FUZZ_SECONDS=600 FUZZ_TARGETS="writer_replies" fuzz/run_fuzz.sh
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-180}"
targets="${FUZZ_TARGETS:-firmware_file identity_line writer_replies revision_check update_run}"

CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja >/dev/null || exit 2
build_targets="make_seeds fwtool"
for t in $targets; do build_targets="$build_targets fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $build_targets >/dev/null || exit 2
bash "$root/fuzz/make_corpus.sh" "$build" "$build/seeds" >/dev/null || exit 2

mkdir -p "$build/logs"
[ -f "$build/totals.tsv" ] || printf 'date\ttarget\tseconds\texecutions\tfindings\n' > "$build/totals.tsv"
status=0
printf '%-16s %8s %14s %9s %9s\n' target seconds executions corpus findings
for t in $targets; do
    corpus="$build/corpus/$t"
    findings="$build/findings/$t"
    mkdir -p "$corpus" "$findings"
    dict=()
    [ -f "$root/fuzz/$t.dict" ] && dict=(-dict="$root/fuzz/$t.dict")
    log="$build/logs/$t.log"
    "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
        "$corpus" "$build/seeds/$t" > "$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    found=$(find "$findings" -type f | wc -l)
    units=$(find "$corpus" -type f | wc -l)
    printf '%-16s %8s %14s %9s %9s\n' "$t" "$seconds" "${execs:-?}" "$units" "$found"
    printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$t" "$seconds" "${execs:-0}" "$found" \
        >> "$build/totals.tsv"
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        status=1
        echo "  $t: finding(s) in $findings (log: $log)"
        grep -m3 -E 'ERROR|runtime error|promise broken' "$log" | sed 's/^/    /'
    fi
done
echo "totals so far (build/fuzz/totals.tsv):"
awk -F'\t' 'NR > 1 { s[$2] += $3; e[$2] += $4; f[$2] += $5 }
    END { for (t in s) printf "  %-16s %6d s %14d executions %3d findings\n", t, s[t], e[t], f[t] }' \
    "$build/totals.tsv"
exit $status
