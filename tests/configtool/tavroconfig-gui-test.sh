#!/usr/bin/env bash
# Drives tavroconfig on a private virtual X server like a user, with the
# virtual board module reporting boards on COM3 and COM7:
#   - the settings dialog lists both boards (the second one is set up below);
#   - "&Setup" then "&Cancel" leaves the INI file byte for byte unchanged;
#   - picking COM7, "&Setup", chip type TRQ05 and "&OK" adds exactly the
#     section "ftd2xx(COM7)" with its three keys;
#   - closing the dialog ends the tool with exit code 0;
#   - with the only board held elsewhere, the message comes and the tool ends.
# Saves screenshots of both dialogs into <picture dir> and prints the time
# from starting the tool to its dialog being shown.
# Usage: tavroconfig-gui-test.sh <tavroconfig> <libtavro.so> <libtavro_dialogs.so>
#        <libtavro_virtualboard.so> <windowshot> <picture dir>
set -euo pipefail
tool=$1 library=$2 dialogs=$3 board=$4 shot=$5 pictures=$6

work=$(mktemp -d)
xvfb= app=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    if [[ -n ${DISPLAY:-} ]]; then
        for w in $(timeout 5 xdotool search --name . 2>/dev/null); do
            echo "  window $w: $(timeout 5 xdotool getwindowname "$w" 2>/dev/null)" >&2
        done
    fi
    [[ -s $work/tool.log ]] && sed 's/^/  tavroconfig: /' "$work/tool.log" >&2
    exit 1
}

# A copy of the tool beside its own library, so that the INI file is ours.
mkdir -p "$work/bin" "$work/lib" "$pictures"
cp "$tool" "$work/bin/"
cp "$library" "$dialogs" "$work/lib/"
ini=$work/lib/libtavro.ini
printf '[tavro]\r\nDelayTime=100\r\n\r\n[ftd2xx(COM3)]\r\nSpeed=921600\r\nBufferSize=64\r\nSLOT_00_CHIP_ID=38\r\nSLOT_00_CHIP_CLOCK=4000000\r\n' >"$ini"
cp "$ini" "$work/before.ini"

# Xvfb picks a free display itself and names it once it accepts clients.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
display=$(tr -d '[:space:]' <"$work/display")
[[ -n $display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

export DISPLAY=:$display TAVRO_D2XX_MODULE=$board TAVRO_VB_PORTS=3,7
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY TAVRO_VB_BUSY

xdo() { timeout 15 xdotool "$@"; }
window() { xdo search --sync --onlyvisible --name "^$1\$" | head -1; }
gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "$1 is still open"
}
keys() { xdo windowfocus --sync "$1"; sleep 0.2; xdo key --delay 80 "${@:2}"; sleep 0.3; }

start=$(date +%s%N)
"$work/bin/tavroconfig" --any -arguments at all 2>"$work/tool.log" &
app=$!
settings=
for _ in $(seq 500); do
    settings=$(xdotool search --onlyvisible --name '^tavro setup$' 2>/dev/null | head -1) || true
    [[ -n $settings ]] && break
    sleep 0.02
done
[[ -n $settings ]] || fail "the settings dialog did not appear"
shown=$(date +%s%N)
echo "tavroconfig: settings dialog shown $(((shown - start) / 1000000)) ms after start"
sleep 0.3
echo "tavroconfig with its dialog open: $(grep VmRSS "/proc/$app/status" | tr -s ' \t' ' ')"
"$shot" "$settings" "$pictures/settings-dialog.png" || fail "no screenshot of the settings dialog"

# Setup on the first board, then Cancel.
keys "$settings" alt+s
setup=$(window "KX7M Setup")
keys "$setup" Tab Down
keys "$setup" alt+c
gone "KX7M Setup"
cmp -s "$work/before.ini" "$ini" || fail "Setup then Cancel changed the INI file"

# The second board, Setup, TRQ05 (NONE -> KX7M -> TRQ05), OK.
keys "$settings" alt+i Down
keys "$settings" alt+s
setup=$(window "KX7M Setup")
keys "$setup" Tab Down Down
"$shot" "$setup" "$pictures/board-setup-dialog.png" || fail "no screenshot of the board setup dialog"
keys "$setup" alt+o
gone "KX7M Setup"

removed=$(diff "$work/before.ini" "$ini" | grep -c '^<' || true)
added=$(diff "$work/before.ini" "$ini" | sed -n 's/^> //p' | tr -d '\r' | grep -v '^$' || true)
expected=$'[ftd2xx(COM7)]\nSpeed=115200\nSLOT_00_CHIP_ID=39\nSLOT_00_CHIP_CLOCK=3579545'
[[ $removed == 0 && $added == "$expected" ]] ||
    fail "unexpected INI change: $(diff "$work/before.ini" "$ini" || true)"

keys "$settings" Escape
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
app=
[[ $status == 0 ]] || fail "tavroconfig exited with $status"
! grep -E 'CRITICAL|WARNING' "$work/tool.log" || fail "GTK complained"

# No board that can be opened: the message, and the tool ends after OK.
TAVRO_VB_PORTS=3 TAVRO_VB_BUSY=3 "$work/bin/tavroconfig" 2>"$work/tool.log" &
app=$!
message=$(window "インフォメーション")
keys "$message" Return
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
app=
[[ $status == 0 ]] || fail "tavroconfig exited with $status after the message"
xdotool search --name '^tavro setup$' >/dev/null 2>&1 && fail "the settings dialog stayed"
echo "PASS"
