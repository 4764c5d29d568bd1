#!/usr/bin/env bash
# One end-to-end scenario of FirmwareUpdate.exe under Wine, worked through its real window
# by uidriver. Usage: e2e.sh <scenario> <FirmwareUpdate.exe> <uidriver.exe> <visa32.dll> <work root>
# Expects DISPLAY and a running Wine session (scripts/run-tests.sh); the prefix is
# $WINEPREFIX, else build/wineprefix.
set -euo pipefail
scenario=$1
exe=$(realpath "$2") driver=$(realpath "$3") simdll=$(realpath -m "$4") workroot=$(realpath -m "$5")
FWU_ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$FWU_ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run through scripts/run-tests.sh"; exit 1; }

system32="$WINEPREFIX/drive_c/windows/system32"
work="$workroot/$scenario"
rm -rf "$work"
mkdir -p "$work/app"
cp "$exe" "$work/app/FirmwareUpdate.exe"

# Windows paths of files in the work folder (drive Z: is the Unix root).
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
app="$(winpath "$work/app/FirmwareUpdate.exe")"
firmware="$work/firmware.bin"
flash="$work/flash.bin"

# The driver's output goes through a file: the program it starts inherits that output, and
# a pipe held open by a program would keep ctest waiting.
calls=0
drive() {
    local log="$work/driver.$((++calls)).log" status=0
    wine "$driver" "$@" </dev/null >"$log" 2>&1 || status=$?
    cat "$log"
    return $status
}

install_visa() { cp "$simdll" "$system32/visa32.dll"; }

# The simulated world: `scenario_json <mode> [faults JSON]`.
scenario_json() {
    local mode=$1 faults=${2:-[]}
    cat >"$work/scenario.json" <<JSON
{
  "instruments": [
    { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR",
      "revision": "1234567890ABCDEFGHIJKLMNOP",
      "mode": "$mode",
      "flashFile": "$(winpath "$flash" | sed 's/\\/\\\\/g')" }
  ],
  "progressLines": 3,
  "faults": $faults
}
JSON
    export FWSIM_SCENARIO="$(winpath "$work/scenario.json")"
}

# Loads the firmware file through the "..." button and the open-file dialog.
load_steps() {
    echo click=IDC_BROWSE "open-file=$(winpath "$1")"
}

completion_box='box=ok=Update is completed\nPlease cycle the power of K4417F!=Firmware Update'
confirm_box='box=yes=Are you sure you want to update K4417F SN:TW00012345?=Confirm Firmware Update'

case "$scenario" in
string_resource)
    # The sockets failure text, read back from the program's resources.
    drive "expect-string=$app=103=Windows sockets \\u555F\\u59CB\\u5931\\u6557\\u3002"
    # The labels' full-width colons survive the resource compiler.
    drive "start=$app" "expect-wide-text=IDC_DEVICE_LABEL=Device\\uFF1A" send-close wait-exit
    ;;

more_info_96dpi | more_info_192dpi)
    dpi=96 shown=600 hidden=450
    if [ "$scenario" = more_info_192dpi ]; then
        dpi=192 shown=1200 hidden=900
    fi
    key='HKCU\Control Panel\Desktop'
    previous=$(wine reg query "$key" /v LogPixels </dev/null 2>/dev/null | tr -d '\r' |
        awk '/LogPixels/ {print $3}') || true
    restore() {
        if [ -n "$previous" ]; then
            wine reg add "$key" /v LogPixels /t REG_DWORD /d $((previous)) /f </dev/null >/dev/null 2>&1
        else
            wine reg delete "$key" /v LogPixels /f </dev/null >/dev/null 2>&1 || true
        fi
    }
    trap restore EXIT
    wine reg add "$key" /v LogPixels /t REG_DWORD /d $dpi /f </dev/null >/dev/null 2>&1
    # The width must stay as it was through every toggle.
    drive "start=$app" expect-height=$hidden expect-text=IDC_MORE_INFO="More Info >>" expect-shown=IDC_LOG=0 \
        expect-width-kept \
        click-sync=IDC_MORE_INFO expect-height=$shown expect-text=IDC_MORE_INFO="More Info <<" expect-shown=IDC_LOG=1 \
        expect-width-kept \
        click-sync=IDC_MORE_INFO expect-height=$hidden expect-text=IDC_MORE_INFO="More Info >>" expect-shown=IDC_LOG=0 \
        click-sync=IDC_MORE_INFO expect-height=$shown expect-width-kept \
        send-close wait-exit
    ;;

help_available)
    cp "$(dirname "$exe")/UpdateUtilityHelp.chm" "$work/app/"
    drive "start=$app" expect-windows="HH Parent"=0 click-sync=IDC_HELP_BUTTON \
        "wait-windows=HH Parent=K4417F Firmware Update Utility Help" \
        expect-visible send-close wait-exit
    ;;

help_missing)
    # HTML Help disabled for this run: the registered path and the name both fail to load.
    cp "$(dirname "$exe")/UpdateUtilityHelp.chm" "$work/app/"
    export WINEDLLOVERRIDES="hhctrl.ocx=d;$WINEDLLOVERRIDES"
    drive "start=$app" click-sync=IDC_HELP_BUTTON expect-windows="HH Parent"=0 no-box \
        click-sync=IDC_HELP_BUTTON expect-windows="HH Parent"=0 no-box expect-visible send-close wait-exit
    ;;

missing_visa_library)
    # No VISA library at all in the system directory; put back whatever was there.
    mkdir -p "$work/saved"
    for dll in visa32.dll visa64.dll; do
        [ ! -e "$system32/$dll" ] || mv "$system32/$dll" "$work/saved/"
    done
    trap 'mv "$work"/saved/*.dll "$system32/" 2>/dev/null || true' EXIT
    drive make-firmware="$firmware"=valid
    drive "start=$app" $(load_steps "$firmware") expect-enabled=IDC_UPDATE=1 click=IDC_UPDATE \
        "box=ok=No instrument found.=Search Instrument" expect-text=IDC_LOG= \
        expect-enabled=IDC_UPDATE=1 expect-enabled=IDC_BROWSE=1 send-close wait-exit
    ;;

corrupted_file)
    install_visa
    scenario_json normal
    good="$work/good.bin"
    drive make-firmware="$good"=valid make-firmware="$firmware"=truncated
    # A good file first: its texts must stay when the damaged one is refused.
    drive "start=$app" $(load_steps "$good") expect-text=IDC_MODEL_NAME=K4417F expect-text=IDC_IMAGE_REV=2.10.0 \
        "expect-text=IDC_FILE_PATH=$(winpath "$good")" expect-enabled=IDC_UPDATE=1 \
        $(load_steps "$firmware") \
        "box=ok=The firmware revision file is corrupted.=Error" \
        "expect-log-contains=\\r\\nError number: 23" expect-enabled=IDC_UPDATE=0 \
        expect-text=IDC_MODEL_NAME=K4417F "expect-text=IDC_FILE_PATH=$(winpath "$good")" \
        send-close wait-exit
    ;;

complete_update)
    install_visa
    scenario_json normal
    drive make-firmware="$firmware"=valid=2000,48,48,1030,128,32
    drive "start=$app" $(load_steps "$firmware") expect-enabled=IDC_UPDATE=1 click=IDC_UPDATE \
        "$confirm_box" "$completion_box" \
        "expect-log-contains=Connect ... OK\\r\\nTo Writer ... OK\\r\\nConnect ... OK\\r\\nTesting ... OK\\r\\nCheck Revision ... OK\\r\\n" \
        "expect-log-contains=--------------- Completed ---------------" \
        "expect-text=IDC_SECTION_COUNTER=6 / 6" expect-enabled=IDC_UPDATE=1 expect-enabled=IDC_BROWSE=1 print-log \
        send-close wait-exit
    drive check-flash="$flash"="$firmware"
    ;;

failure_mid_update)
    install_visa
    scenario_json normal '[ { "section": 3, "step": "final", "text": "ERASE NG" } ]'
    drive make-firmware="$firmware"=valid
    drive "start=$app" $(load_steps "$firmware") click=IDC_UPDATE "$confirm_box" \
        "wait-log-contains=\\r\\nError number: 17" no-box expect-enabled=IDC_UPDATE=1 \
        "expect-text=IDC_SECTION_COUNTER=3 / 6" expect-enabled=IDC_BROWSE=1 print-log send-close wait-exit
    # The first two sections were written before the writer refused the third.
    drive check-flash="$flash"="$firmware"=2
    ;;

close_during_transfer)
    install_visa
    scenario_json writer
    drive make-firmware="$firmware"=valid=64,48,48,6000,128,32
    drive "start=$app" $(load_steps "$firmware") click=IDC_UPDATE "$confirm_box" \
        "wait-text=IDC_SECTION_COUNTER=2 / 6" send-close expect-visible expect-enabled=IDC_UPDATE=0 \
        "$completion_box" expect-visible \
        "expect-log-contains=Connect ... OK\\r\\nTesting ... OK" \
        send-close wait-exit
    ;;

fwtool_update)
    # fwtool.exe, beside the program, finds the same library in the system directory.
    install_visa
    scenario_json normal
    fwtool="$(dirname "$exe")/fwtool.exe"
    drive make-firmware="$firmware"=valid=2000,48,48,1030,128,32
    wine "$fwtool" list --json </dev/null >"$work/list.out" 2>&1
    grep -q '"mode":"normal".*"serial":"TW00012345"' "$work/list.out"
    wine "$fwtool" update "$(winpath "$firmware")" --yes --json </dev/null >"$work/update.out" 2>&1 ||
        { cat "$work/update.out"; exit 1; }
    grep '"event":"end"' "$work/update.out" | grep -q '"code":0,'
    drive check-flash="$flash"="$firmware"
    ;;

fwtool_check_unicode_folder)
    # A folder named in letters outside the ANSI code page: fwtool opens files by their
    # wide names, as the program does.
    fwtool="$(dirname "$exe")/fwtool.exe"
    folder="$work/Прошивка 固件"
    mkdir -p "$folder"
    drive make-firmware="$firmware"=valid=2000,48,48,1030,128,32
    cp "$firmware" "$folder/sample.fw"
    LC_ALL=C.UTF-8 wine "$fwtool" check "$(winpath "$folder/sample.fw")" </dev/null \
        >"$work/check.out" 2>&1 || { cat "$work/check.out"; exit 1; }
    grep -q "^result: 0 OK" "$work/check.out" || { cat "$work/check.out"; exit 1; }
    ;;

fwtool_holds)
    # While fwtool.exe updates the instrument, the window refuses it before sending anything:
    # the connection failure's box, and the log saying why.
    install_visa
    # Every reopen after the switch waits out its timeout: fwtool.exe retries for 20 s.
    scenario_json normal "[$(seq -s, 2 40 | sed -E 's/([0-9]+)/{"op":"viOpen","nth":\1,"action":"timeout"}/g')]"
    fwtool="$(dirname "$exe")/fwtool.exe"
    drive make-firmware="$firmware"=valid
    FWSIM_RECORD="$(winpath "$work/fwtool.rec")" wine "$fwtool" update "$(winpath "$firmware")" \
        --yes --json </dev/null >"$work/update.out" 2>&1 &
    holder=$!
    trap 'kill $holder 2>/dev/null || true' EXIT
    for _ in $(seq 300); do grep -q '"event":"log"' "$work/update.out" && break; sleep 0.1; done
    grep -q '"event":"log"' "$work/update.out" || { cat "$work/update.out"; exit 1; }
    FWSIM_RECORD="$(winpath "$work/window.rec")" drive "start=$app" $(load_steps "$firmware") \
        click=IDC_UPDATE "box=ok=Failed to connect device.=Error" \
        "expect-log-contains=Connect ... TW00012345 is being updated by another program\r\nError number: 3" \
        expect-enabled=IDC_UPDATE=1 send-close wait-exit
    [ -s "$work/window.rec" ] || { echo "the window's calls were not recorded"; exit 1; }
    if grep -E '"op":"vi(Open|Write|Read)"' "$work/window.rec"; then
        echo "the window reached the instrument"
        exit 1
    fi
    ;;

*)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac
echo "scenario $scenario passed"
