#!/usr/bin/env bash
# The main job: makes a sample K4417F firmware file and checks it.
set -euo pipefail
FWU_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWU_ROOT"
mkdir -p build/demo
echo "fwtool is not built yet"
