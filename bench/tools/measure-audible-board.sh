#!/usr/bin/env bash
# Measures the audible virtual board with tonrig playing the demo on a KX7M:
#
#   bench/tools/measure-audible-board.sh BUILD_DIR [seconds] [long-seconds]
#                                       (defaults 30 and 600)
#
# Starts a PulseAudio server of its own (no configuration, a null sink at
# 48 kHz, a socket in a scratch directory) with a recorder on the sink's
# monitor, as a desktop's server with a sound card would run, then:
# 1. CPU time of tonrig (the board runs inside it) per second played, playing
#    the demo for the given time without sound, with the sound file only, and
#    with live sound and the file; the server's own CPU in the live run.
# 2. Audio start latency: from bit-bang mode to the server playing, as the
#    board logs it, over five starts.
# 3. Underruns, late writes and resyncs over a long live run.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
long=${3:-600}
work=$(mktemp -d)
server=
recorder=
cleanup() {
    [[ -n "$recorder" ]] && kill "$recorder" 2>/dev/null || true
    [[ -n "$server" ]] && kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/lib" "$work/server/home" "$work/server/runtime"
cp "$build/bin/tonrig" "$build/bin/VELKAN.BIN" "$build/bin/demo-song.vkn" "$work/bin/"
cp "$build/lib/libtavro.so" "$build/lib/libtavro_virtualboard.so" "$build/lib/libtonrig_audio_pulse.so" \
    "$work/lib/"
printf '[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\n' >"$work/lib/libtavro.ini"
module="$work/lib/libtavro_virtualboard.so"
ticks=$(getconf CLK_TCK)

HOME="$work/server/home" XDG_RUNTIME_DIR="$work/server/runtime" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-null-sink sink_name=board rate=48000 channels=2 format=s16le" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$work/server/socket" \
    2>"$work/server/log" &
server=$!
for ((n = 0; n < 100; n++)); do
    [[ -S "$work/server/socket" ]] && break
    sleep 0.05
done
export PULSE_SERVER="unix:$work/server/socket"
parec --device=board.monitor --latency-msec=20 --raw >/dev/null &
recorder=$!
sleep 2.5 # the null sink's first 2 s block

cpuOf() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# play SECONDS LOG [settings...]: plays the demo; sets cpuPercent (tonrig, of
# one core over the time played after the first 2 s) and serverPercent.
play() {
    local time=$1 log=$2 player c0 c1 s0 s1 t0 t1
    shift 2
    cd "$work/bin"
    env TAVRO_D2XX_MODULE="$module" TAVRO_VB_LOG="$log" "$@" ./tonrig demo-song.vkn \
        >/dev/null 2>&1 &
    player=$!
    sleep 2
    c0=$(cpuOf "$player")
    s0=$(cpuOf "$server")
    t0=$(date +%s%N)
    sleep $((time - 2))
    c1=$(cpuOf "$player")
    s1=$(cpuOf "$server")
    t1=$(date +%s%N)
    kill -INT "$player"
    wait "$player" || true
    cpuPercent=$(awk -v c=$((c1 - c0)) -v k="$ticks" -v ns=$((t1 - t0)) \
        'BEGIN { printf "%.2f", 100 * c / k / (ns / 1e9) }')
    serverPercent=$(awk -v c=$((s1 - s0)) -v k="$ticks" -v ns=$((t1 - t0)) \
        'BEGIN { printf "%.2f", 100 * c / k / (ns / 1e9) }')
}

echo "CPU of tonrig with the virtual board, demo-song.vkn, $seconds s each:"
play "$seconds" "$work/silent.log"
echo "  no sound:              $cpuPercent % of one core"
play "$seconds" "$work/file.log" TAVRO_VB_WAV="$work/demo.wav"
echo "  sound file only:       $cpuPercent % of one core"
play "$seconds" "$work/live.log" TAVRO_VB_AUDIO=default TAVRO_VB_WAV="$work/demo.wav"
echo "  live sound and file:   $cpuPercent % of one core (the sound server: $serverPercent %)"
grep ' audio-end ' "$work/live.log" | sed 's/^[0-9.]* /  /'

echo "Audio start latency (bit-bang mode to the server playing), five starts:"
for ((n = 0; n < 5; n++)); do
    play 3 "$work/start.log" TAVRO_VB_AUDIO=default
    grep -o 'start-ms=[0-9.]*' "$work/start.log" | sed 's/start-ms=/  /; s/$/ ms/'
done

echo "Long run, live sound and file, $long s:"
play "$long" "$work/long.log" TAVRO_VB_AUDIO=default TAVRO_VB_WAV="$work/long.wav"
grep ' audio-end ' "$work/long.log" | sed 's/^[0-9.]* /  /'
echo "  tonrig: $cpuPercent % of one core; the sound server: $serverPercent %"
