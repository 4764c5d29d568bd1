# Sourced by the scripts that run Windows programs. Keeps the Wine prefix under build/,
# starts a persistent Wine session with detached streams (a test that started it would
# otherwise hold ctest's pipes open and hang), and a virtual display when there is none.
# Call wine_session_stop when done (the scripts trap it on exit).

: "${FWU_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${WINEPREFIX:-$FWU_ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
FWU_XVFB_PID=""

wine_session_start() {
    local want_display="${1:-virtual}"
    if [ "$want_display" = virtual ] || [ -z "${DISPLAY:-}" ]; then
        local n
        for n in $(seq 90 130); do
            [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
            Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
            FWU_XVFB_PID=$!
            export DISPLAY=":$n"
            break
        done
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
    fi
    mkdir -p "$WINEPREFIX"
    wineserver -p 300 </dev/null >/dev/null 2>&1 || true
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 &
    # Wine has no Arial, the dialog's font: Liberation Sans has its metrics and a bold face.
    # Chinese text (string resource 103, the full-width colons) needs a linked font: for the
    # dialog's font and for Tahoma, the message boxes' font.
    if [ ! -e "$WINEPREFIX/.fonts-done-3" ]; then
        local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
        local cjk='wqy-microhei.ttc,WenQuanYi Micro Hei'
        local ok=1 face
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
            /d 'Liberation Sans' /f </dev/null >/dev/null 2>&1 || ok=0
        for face in Arial 'Liberation Sans' Tahoma; do
            wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d "$cjk" /f \
                </dev/null >/dev/null 2>&1 || ok=0
        done
        [ "$ok" = 1 ] && touch "$WINEPREFIX/.fonts-done-3"
    fi
    # Wine draws the caption buttons (the close cross) with its Marlett font, which this
    # Debian build ships (fonts-wine) but does not load from its data folder; it does load
    # every font in the prefix's Fonts folder. Without it the cross shows as an "r".
    local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ]; then
        cp "$marlett" "$fonts/" || true
    fi
}

wine_session_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    [ -n "$FWU_XVFB_PID" ] && kill "$FWU_XVFB_PID" 2>/dev/null || true
    FWU_XVFB_PID=""
}
