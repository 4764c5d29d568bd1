#!/bin/sh
# update_through_library.sh FWTOOL SIMLIB DIR: fwtool as a script runs it, through the Linux
# VISA binding against the simulated instrument library: two instruments listed, a dry run
# that sends nothing but "*IDN?", then one of them updated (several at once are the unit
# tests' concern).
set -e
fwtool="$1"
lib="$2"
dir="$3/library_run"
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
fail() { echo "$*" >&2; exit 1; }
cat > scenario.json <<'JSON'
{ "instruments": [
    { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR", "revision": "0105AA0BB01CCCC01D0105",
      "flashFile": "a.bin" },
    { "resource": "USB0::0x0D3F::0x1141::TW00012346::INSTR", "revision": "0105AA0BB01CCCC01D0105",
      "flashFile": "b.bin" } ],
  "timingChecks": true }
JSON
export FWSIM_SCENARIO="$dir/scenario.json"

FWSIM_RECORD="$dir/list.rec" "$fwtool" list --json --visa "$lib" > list.out
[ "$(grep -c '"mode":"normal"' list.out)" -eq 2 ] || fail "list: $(cat list.out)"

FWSIM_RECORD="$dir/dry.rec" "$fwtool" update ../sample.fw --all --dry-run --visa "$lib" > dry.out \
    || fail "dry run: exit $?"
written=$(grep '"op":"viWrite"' dry.rec | grep -vc '"text":"\*IDN?\\n"' || true)
[ "$written" -eq 0 ] || fail "the dry run wrote more than *IDN?"

FWSIM_RECORD="$dir/update.rec" "$fwtool" update ../sample.fw --serial tw00012346 --yes --json \
    --visa "$lib" > update.out || fail "update: exit $?, $(tail -3 update.out)"
[ "$(grep '"event":"end"' update.out | grep -c '"code":0,')" -eq 1 ] || fail "update: $(cat update.out)"
! grep -q violation update.rec || fail "the instrument saw: $(grep violation update.rec)"
for payload in writer fpga1 fpga2 main http; do
    grep -aqF "$(cat ../$payload.bin)" b.bin || fail "the flash lacks $payload.bin"
done
