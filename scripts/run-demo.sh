#!/usr/bin/env bash
# The main job: makes a sample K4417F firmware file and checks it, then runs the Windows
# program under Wine against the simulated instrument. With a display it opens the window
# for a person; without one it drives a complete update through the real window on a
# virtual display, saves screenshots under build/demo/ and prints the log. Exits 0 only
# when the update completed.
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

# The Windows build and the Wine prefix of the demo (overridable for a developer's own trees).
WIN_BUILD="${FWU_WIN_BUILD:-build/win}"

# Windows path of a file under the Unix root (Wine's drive Z:).
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

# Program folder, simulated VISA library in the prefix's system directory, and a scenario:
# one instrument in its normal firmware, whose revisions are older than the sample's.
demo_prepare() {
    local bin=$WIN_BUILD/bin
    for f in "$bin/FirmwareUpdate.exe" "$bin/UpdateUtilityHelp.chm" "$bin/uidriver.exe" \
        "$WIN_BUILD/fwsim/visa32.dll"; do
        [ -f "$f" ] || { echo "$f is not built: run make build first" >&2; return 1; }
    done
    rm -rf build/demo/app build/demo/flash.bin build/demo/*.png
    mkdir -p build/demo/app
    cp "$bin/FirmwareUpdate.exe" "$bin/UpdateUtilityHelp.chm" build/demo/app/
    cp "$WIN_BUILD/fwsim/visa32.dll" "$WINEPREFIX/drive_c/windows/system32/visa32.dll"
    local flash
    flash=$(winpath build/demo/flash.bin)
    cat >build/demo/scenario.json <<JSON
{
  "instruments": [
    { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR",
      "revision": "0105AA0BB01CCCC01D0105",
      "mode": "normal",
      "flashFile": "${flash//\\/\\\\}" }
  ],
  "progressLines": 3
}
JSON
    export FWSIM_SCENARIO
    FWSIM_SCENARIO=$(winpath build/demo/scenario.json)
}

# Crops the screen to the dialog: `demo_screenshot <file> <"x y w h">`.
demo_screenshot() {
    local x y w h
    read -r x y w h <<<"$2"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
    echo "screenshot: $1"
}

demo_drive() {
    local driver=$WIN_BUILD/bin/uidriver.exe out=build/demo/driver.log rect
    # The virtual display has no window manager: Wine then draws the window frames itself,
    # so the screenshots show the caption. Only for this run.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1 || true
    trap 'wine reg delete "HKCU\Software\Wine\X11 Driver" /v Managed /f </dev/null >/dev/null 2>&1; wine_session_stop' EXIT
    # Into a file, not a pipe: the program that the driver starts inherits its output, and
    # a pipe would stay open for as long as the program runs.
    drive() { wine "$driver" "$@" </dev/null >>"$out" 2>&1; }
    : >"$out"
    # Start the program and load the sample file through the open-file dialog.
    drive "start=$(winpath build/demo/app/FirmwareUpdate.exe)" click=IDC_BROWSE \
        "open-file=$(winpath build/demo/sample.fw)" expect-text=IDC_MODEL_NAME=K4417F \
        expect-enabled=IDC_UPDATE=1 redraw print-rect || return 1
    rect=$(grep '^rect:' "$out" | tail -1 | cut -d' ' -f2-)
    demo_screenshot build/demo/main-window.png "$rect"

    # Show the log, update, confirm, and wait for the completion box.
    drive attach click-sync=IDC_MORE_INFO click=IDC_UPDATE \
        'box=yes=Are you sure you want to update K4417F SN:TW00012345?=Confirm Firmware Update' \
        'box=ok=Update is completed\nPlease cycle the power of K4417F!=Firmware Update' \
        'expect-log-contains=--------------- Completed ---------------' redraw print-rect || return 1
    rect=$(grep '^rect:' "$out" | tail -1 | cut -d' ' -f2-)
    demo_screenshot build/demo/update-log.png "$rect"

    echo "== log"
    wine "$driver" attach print-log </dev/null 2>/dev/null | sed '1,2d' | tr -d '\r'
    echo
    drive attach send-close wait-exit || return 1
    echo "== flash"
    drive "check-flash=$(winpath build/demo/flash.bin)=$(winpath build/demo/sample.fw)" || return 1
    grep '^flash:' "$out"
}

demo_sample_firmware

export WINEPREFIX="${FWU_WINEPREFIX:-$FWU_ROOT/build/wineprefix}"
source scripts/wine-session.sh
if [ -n "${DISPLAY:-}" ]; then
    wine_session_start real
    trap wine_session_stop EXIT
    demo_prepare
    echo "== FirmwareUpdate.exe is open: load build/demo/sample.fw with \"...\" and press Update."
    (cd build/demo/app && wine FirmwareUpdate.exe </dev/null)
else
    wine_session_start virtual
    trap wine_session_stop EXIT
    demo_prepare
    if ! demo_drive; then
        echo "the simulated update did not complete (see build/demo/driver.log)" >&2
        exit 1
    fi
    echo "== update completed; screenshots in build/demo/"
fi
