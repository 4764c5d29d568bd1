#!/usr/bin/env bash
# The main job: makes a sample K4417F firmware file and checks it.
set -euo pipefail
FWU_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWU_ROOT"
mkdir -p build/demo

# Packs build/demo/sample.fw from small generated payloads with fwtool and shows what the
# utility's own checks make of it; fails unless the file is accepted (result 0).
demo_sample_firmware() {
    local fwtool="${FWTOOL:-build/native/tools/fwtool}"
    if [ ! -x "$fwtool" ]; then
        echo "fwtool is not built: run make build first" >&2
        return 1
    fi
    sh tests/native/make_sample.sh "$fwtool" build/demo/firmware >/dev/null
    cp build/demo/firmware/sample.fw build/demo/sample.fw
    echo "== fwtool check build/demo/sample.fw"
    "$fwtool" check build/demo/sample.fw
}

demo_sample_firmware
