#!/bin/sh
# make_sample.sh FWTOOL DIR: packs a valid K4417F file DIR/sample.fw from generated payloads,
# and DIR/short.fw, the same file one byte short.
set -e
fwtool="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
dir="$2"
mkdir -p "$dir"
cd "$dir"
# Deterministic payload bytes of a given size (repeating, but different per region).
gen() { awk -v n="$2" -v s="$3" 'BEGIN { for (i = 0; i < n; i++) printf "%c", 33 + (i * 7 + s) % 90 }' > "$1"; }
gen writer.bin 300 1
gen fpga1.bin 200 2
gen fpga2.bin 100 3
gen main.bin 4000 4
gen http.bin 500 5
gen oem.bin 64 6
"$fwtool" pack --model K4417F --image-rev 2.0.1 --utility-rev 1.0.6 \
    --description "Sample firmware" --revs-not-support 1.0.0 \
    --section writer-program=writer.bin:0201 --section fpga-code-1=fpga1.bin:01 \
    --section fpga-code-2=fpga2.bin:01 --section main-program=main.bin:0201 \
    --section http-program=http.bin:0201 --section oem-code=oem.bin:00 -o sample.fw
head -c "$(($(wc -c < sample.fw) - 1))" sample.fw > short.fw
