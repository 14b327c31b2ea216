#!/usr/bin/env bash
# Measures how far an MDX song's samples, played through the speakers, lie
# from its FM notes on the board, over a long run:
#
#   bench/tavroplay/measure-sample-sync.sh BUILD_DIR [seconds]   (default 600)
#
# Starts a PulseAudio server of its own (no configuration, a null sink at
# 48 kHz, a socket in a scratch directory) with a recorder on the sink's
# monitor, as a desktop's server with a sound card would run; plays the
# song of sample_sync_bench (an FM note and a sample together every half
# second) with tavroplay on the virtual board (KX7M) for the time given; then
# pairs each sample's heard time (tavroplay's TAVROPLAY_SAMPLE_LOG, as the
# server reported it) with its FM key-on's wire time (the board's log) and
# prints the offset over the first and the last ten seconds, with tavroplay's
# CPU and peak memory. Then the CPU and memory of a busy 16-track song (eight
# FM tracks and eight ADPCM tracks playing all along): rendered with --wav
# for the time given, and played live on the board for a minute.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-600}
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
mkdir -p "$work/bin" "$work/lib" "$work/song" "$work/server/home" "$work/server/runtime"
cp "$build/bin/tavroplay" "$work/bin/"
cp "$build/lib/libtavro.so" "$build/lib/libtavro_virtualboard.so" \
    "$build/lib/libtonrig_audio_pulse.so" "$work/lib/"
printf '[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\n' >"$work/lib/libtavro.ini"
"$build/bin/sample_sync_bench" song "$work/song"
"$build/bin/sample_sync_bench" busy "$work/song"

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
parec --device=board.monitor --latency-msec=20 --raw >/dev/null 2>&1 &
recorder=$!
sleep 2.5 # the null sink's first 2 s block

env TAVRO_D2XX_MODULE="$work/lib/libtavro_virtualboard.so" TAVRO_VB_LOG="$work/board.log" \
    TAVROPLAY_SAMPLE_LOG="$work/sample.log" \
    /usr/bin/time -v -o "$work/time.txt" "$work/bin/tavroplay" --quiet --loops 0 \
    "$work/song/sync.mdx" &
player=$!
sleep "$seconds"
kill -INT "$(pgrep -P "$player" tavroplay)" 2>/dev/null || true
wait "$player" || true

"$build/bin/sample_sync_bench" analyse "$work/board.log" "$work/sample.log"
times() { awk -F': ' '/User time|System time|Elapsed|Maximum resident/ { print "  " $1 ": " $2 }' \
    "$1" | sed 's/\t//'; }
times "$work/time.txt"

# The busy song loops every 4 s: as many loops as the time given.
echo "16-track song, --wav of $seconds s:"
/usr/bin/time -v -o "$work/wav-time.txt" "$work/bin/tavroplay" --quiet --fade 0 \
    --loops $(((seconds + 3) / 4)) --wav "$work/busy.wav" "$work/song/busy.mdx"
times "$work/wav-time.txt"
echo "16-track song, live on the board for 60 s:"
rm -f "$work/sample.log"
env TAVRO_D2XX_MODULE="$work/lib/libtavro_virtualboard.so" TAVROPLAY_SAMPLE_LOG="$work/sample.log" \
    /usr/bin/time -v -o "$work/live-time.txt" "$work/bin/tavroplay" --quiet --loops 0 \
    "$work/song/busy.mdx" &
player=$!
sleep 60
kill -INT "$(pgrep -P "$player" tavroplay)" 2>/dev/null || true
wait "$player" || true
times "$work/live-time.txt"
grep '^end ' "$work/sample.log" | sed 's/^/  /'
