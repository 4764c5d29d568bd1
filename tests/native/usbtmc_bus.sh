#!/bin/sh
# usbtmc_bus.sh FWTOOL FWSIM_USBTMC SIMLIB DIR CASE: fwtool with --visa usbtmc among
# simulated instruments that the kernel's USBTMC driver seems to offer (fwsim-usbtmc,
# umockdev); the real driver is worked in a guest (tests/kernel_vm). CASE is one of:
#   list     two instruments, one in writer mode, listed by serial and mode
#   two      two instruments updated at once
#   old      a driver before Linux 4.19, which refuses the timeout ioctl (EBADRQC): listed
#            all the same, on the driver's own timeout
#   denied   a node this user may not open: listed as no-access, not updated (117)
set -e
fwtool="$1"
bus="$2"
lib="$3"
dir="$4/usbtmc_$5"
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
fail() { echo "$*" >&2; exit 1; }
resource() { echo "USB0::0x0D3F::0x1141::$1::INSTR"; }
# scenario SERIAL[:writer]... > FILE: instruments with a flash file each, pauses checked.
scenario() {
    printf '{ "timingChecks": true, "instruments": ['
    sep=""
    for entry in "$@"; do
        mode=normal
        case "$entry" in *:writer) mode=writer; entry=${entry%:writer} ;; esac
        printf '%s{ "resource": "%s", "revision": "0105AA0BB01CCCC01D0105", "mode": "%s", "flashFile": "%s.bin" }' \
            "$sep" "$(resource "$entry")" "$mode" "$entry"
        sep=", "
    done
    printf '] }\n'
}
clean() { ! grep -q violation "$1" || fail "the instruments saw: $(grep violation "$1")"; }
# The same update through the VISA library: the flash the usbtmc run must leave
# (TW00099999.bin).
reference() {
    scenario TW00099999 > ref.json
    FWSIM_SCENARIO="$dir/ref.json" "$fwtool" update ../sample.fw --yes --visa "$lib" > ref.out \
        || fail "reference update: exit $?"
}

case "$5" in
list)
    scenario TW00012345 TW00012346:writer > s.json
    "$bus" --scenario s.json --deadline 60 -- "$fwtool" list --visa usbtmc > list.out
    grep -q "^$(resource TW00012345)  TW00012345  normal  " list.out || fail "list: $(cat list.out)"
    grep -q "^$(resource TW00012346)  TW00012346  writer  " list.out || fail "list: $(cat list.out)"
    FWTOOL_VISA=usbtmc "$bus" --scenario s.json --deadline 60 -- "$fwtool" list --json --verbose \
        > list.json 2> list.err
    [ "$(grep -c '"mode":"' list.json)" -eq 2 ] || fail "list --json: $(cat list.json)"
    grep -q "VISA backend: usbtmc" list.err || fail "no backend named: $(cat list.err)"
    ;;
two)
    reference
    scenario TW00012345 TW00012346 > s.json
    "$bus" --scenario s.json --record run.rec --deadline 120 -- \
        "$fwtool" update ../sample.fw --all --yes --json --visa usbtmc > run.out \
        || fail "update: exit $?, $(tail -3 run.out)"
    [ "$(grep '"event":"end"' run.out | grep -c '"code":0,')" -eq 2 ] || fail "$(cat run.out)"
    clean run.rec
    cmp TW00012345.bin TW00099999.bin && cmp TW00012346.bin TW00099999.bin || fail "flash differs"
    ;;
old)
    scenario TW00012345 > s.json
    "$bus" --scenario s.json --record run.rec --old-driver 1 --deadline 60 -- \
        "$fwtool" list --visa usbtmc > list.out
    grep -q "^$(resource TW00012345)  TW00012345  normal  0105AA0BB01CCCC01D0105$" list.out \
        || fail "list: $(cat list.out)"
    ! grep -q '"op":"viSetAttribute"' run.rec || fail "the driver took a timeout it has no ioctl for"
    ;;
denied)
    scenario TW00012345 TW00012346:writer > s.json
    # The testbed's node links to a pty of its own: take every right on it away. Root would
    # open it all the same, unless it drops the override of file modes.
    drop=""
    [ "$(id -u)" -ne 0 ] || drop="setpriv --bounding-set -dac_override,-dac_read_search"
    denied() {
        "$bus" --scenario s.json --record run.rec --deadline 60 -- \
            sh -c 'chmod 000 "$UMOCKDEV_DIR/dev/usbtmc0" && exec "$@"' sh $drop "$fwtool" "$@"
    }
    denied list --visa usbtmc > list.out
    grep -q "^$(resource TW00012345)  TW00012345  no-access" list.out || fail "$(cat list.out)"
    grep -q "TW00012346  writer" list.out || fail "list: $(cat list.out)"
    set +e
    denied update ../sample.fw --all --yes --visa usbtmc > run.out 2> run.err
    status=$?
    set -e
    [ "$status" -eq 117 ] || fail "update: exit $status, not 117: $(cat run.err)"
    grep -q "/dev/usbtmc0: .*60-k4417f-usbtmc.rules" run.err || fail "$(cat run.err)"
    ! grep -q '"op":"viWrite"' run.rec || fail "the update sent something"
    ;;
*)
    fail "unknown case $5"
    ;;
esac
