# Sourced by the test guest's init (busybox sh): the cases of fwtool --visa usbtmc on the
# kernel's own usbtmc driver, each instrument a fwsim-usbtmc-gadget on one of dummy_hcd's
# UDCs. A case prints PASS as its last line, or FAIL with what it saw.

# The UDCs (instruments) a case needs.
udcs() {
    case "$1" in list) echo 4 ;; *) echo 1 ;; esac
}

fail() {
    echo "FAIL: $*"
    for log in g*.log; do [ -e "$log" ] && echo "--- $log" && cat "$log"; done
    dmesg | grep -i -e usb -e tmc | tail -25
    exit 1
}
resource() { echo "USB0::0x0D3F::0x${2:-1141}::$1::INSTR"; }
now_ms() { awk '{ printf "%d\n", $1 * 1000 }' /proc/uptime; }
# scenario SERIAL[:MODE[:PRODUCT]]... > FILE: instruments with a flash file each, pauses
# checked.
scenario() {
    printf '{ "timingChecks": true, "instruments": ['
    sep=""
    for entry in "$@"; do
        serial=${entry%%:*}
        mode=$(echo "$entry:normal" | cut -d: -f2)
        product=$(echo "$entry::1141" | cut -d: -f3)
        [ -n "$product" ] || product=1141
        printf '%s{ "resource": "%s", "revision": "0105AA0BB01CCCC01D0105", "mode": "%s", "flashFile": "%s.bin" }' \
            "$sep" "$(resource "$serial" "$product")" "$mode" "$serial"
        sep=", "
    done
    printf '] }\n'
}
# gadget N [OPTION...]: instrument N of s.json plugged into dummy_udc.N, at real-time
# priority so that its answers (and so the pauses measured) are not held up by the host.
gadget() {
    n=$1
    shift
    chrt -f 50 fwsim-usbtmc-gadget --udc "dummy_udc.$n" --scenario s.json --index "$n" \
        --record "g$n.rec" "$@" 2> "g$n.log" &
}
# wait_nodes N: until N usbtmc nodes are there, each known to libudev as initialized.
wait_nodes() {
    tries=0
    until [ "$(ls /dev/usbtmc* 2> /dev/null | wc -l)" -ge "$1" ] &&
        [ "$(ls /run/udev/data 2> /dev/null | wc -l)" -ge "$1" ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 300 ] || fail "only $(ls /dev/usbtmc* 2> /dev/null | wc -l) of $1 nodes"
        sleep 0.1
    done
}
clean() { ! grep -q violation "$1" || fail "the instrument saw: $(grep violation "$1")"; }
fwtool_usbtmc() { timeout 200 fwtool "$@" --visa usbtmc; }
# identified FILE: fwtool list --json found the instrument in its normal firmware, with the
# whole revision field.
identified() {
    grep -q '"mode":"normal"' "$1" && grep -q '0105AA0BB01CCCC01D0105' "$1" ||
        fail "${2:-list}: $(cat "$1")"
}
# One instrument playing FAULT on its first reply: the first fwtool list must not take what
# it read for a reply, and a second fwtool process must identify the instrument.
first_reply_fault() {
    scenario TW00012345 > s.json
    gadget 0 --fault "$1"
    wait_nodes 1
    start=$(now_ms)
    fwtool_usbtmc list --json > first.json 2> first.err
    took=$(($(now_ms) - start))
    echo "first list: $(cat first.json) in $took ms"
    grep -q '"mode":"unknown"' first.json || fail "the first list: $(cat first.json)"
    fwtool_usbtmc list --json > second.json 2> second.err
    identified second.json "the second list"
}

run_case() {
    export XDG_RUNTIME_DIR=/tmp/case HOME=/tmp
    [ "$1" = probe ] || sh /fw/make_sample.sh /fw/fwtool /tmp/case > /dev/null || fail "no sample file"
    case "$1" in
    list)
        scenario TW00012345 TW00012346:writer TW00077777:normal:9999 XX00012347 > s.json
        for n in 0 1 2 3; do gadget $n; done
        wait_nodes 4
        fwtool_usbtmc list > list.out || fail "list: exit $?"
        cat list.out
        grep -q "^$(resource TW00012345)  TW00012345  normal  " list.out || fail "list"
        grep -q "^$(resource TW00012346)  TW00012346  writer  " list.out || fail "list"
        ! grep -q -e TW00077777 -e XX00012347 list.out || fail "a decoy listed"
        ;;
    update)
        scenario TW00099999 > ref.json
        FWSIM_SCENARIO=/tmp/case/ref.json timeout 200 fwtool update sample.fw --yes \
            --visa /fw/libfwsim-visa.so > ref.out 2> ref.err || fail "reference update: exit $?"
        scenario TW00012345 > s.json
        gadget 0
        wait_nodes 1
        fwtool_usbtmc update sample.fw --serial tw00012345 --yes > run.out 2> run.err ||
            fail "update: exit $?, $(tail -3 run.out) $(cat run.err)"
        grep -q "back on the bus" g0.log || fail "never re-enumerated: $(cat g0.log)"
        [ "$(grep -c '"op":"viOpen",' g0.rec)" -ge 2 ] || fail "no writer session recorded"
        clean g0.rec
        cmp TW00012345.bin TW00099999.bin || fail "the flash differs from the library run's"
        ;;
    unplug)
        scenario TW00012345 > s.json
        gadget 0 --unplug 3
        wait_nodes 1
        fwtool_usbtmc update sample.fw --yes --json > run.out 2> run.err
        status=$?
        tail -2 run.out
        [ "$status" -eq 4 ] || fail "exit $status, not 4 (IO error): $(cat run.err)"
        grep -q '"code":4,"event":"end"' run.out || fail "no end event"
        grep -q "pulled out" g0.log || fail "never pulled out"
        ;;
    late | silent)
        first_reply_fault "$1:1"
        [ "$took" -ge 5000 ] && [ "$took" -lt 15000 ] || fail "the read took $took ms, not 5000"
        ;;
    stall) first_reply_fault stall:1 ;;
    split)
        scenario TW00012345 > s.json
        gadget 0 --fault split:1
        wait_nodes 1
        fwtool_usbtmc list --json > list.json 2> list.err
        identified list.json
        ;;
    fill)
        # A reply exactly as long as fwtool's read (255 bytes), ended by its EOM.
        reply="ZENTROVA CORP.,K4417F,TW00012345,0105AA0BB01CCCC01D0105"
        while [ ${#reply} -lt 254 ]; do reply="$reply."; done
        scenario TW00012345 | sed "s/\"mode\"/\"idnReply\": \"$reply\\\\n\", \"mode\"/" > s.json
        gadget 0
        wait_nodes 1
        fwtool_usbtmc list --json > list.json 2> list.err
        identified list.json
        ;;
    probe) ;;
    *) fail "unknown case $1" ;;
    esac
    echo PASS
}
