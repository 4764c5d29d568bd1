#!/usr/bin/env bash
# make_corpus.sh BUILD_DIR OUT_DIR: the seed corpus of every fuzz target, generated (nothing
# binary is kept in the repository): make_seeds for all targets, fwtool pack for firmware
# files as the release process makes them.
set -euo pipefail
build="$1"
out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
rm -rf "$out"
mkdir -p "$out/firmware_file"
"$build/make_seeds" "$out" >/dev/null
# The packed sample and its one-byte-short twin, as the command-line tests make them.
sh "$here/../tests/native/make_sample.sh" "$build/tools/fwtool" "$out/packed" >/dev/null
cp "$out/packed/sample.fw" "$out/firmware_file/packed.fw"
cp "$out/packed/short.fw" "$out/firmware_file/packed_short.fw"
rm -rf "$out/packed"
# Typical identification replies and writer lines for the dictionaries' sake are in *.dict.
for t in "$out"/*/; do
    echo "$(basename "$t"): $(ls "$t" | wc -l) seeds"
done
