#!/usr/bin/env bash
# Measures the player with the real library on a virtual KX7M board:
#
#   bench/player/measure-client.sh BUILD_DIR [seconds]      (default 60)
#
# BUILD_DIR may be a Windows build (build-win): tonrig.exe then runs under
# Wine beside TAVRO.DLL and tavro_virtualboard.dll, stopped by SIGINT as
# Wine turns it into Ctrl+C.
#
# 1. Plays test-song.vkn for the given time and reports, from the board's log,
#    the spacing of the writes the driver makes every 10 ms (OPM #1 register
#    0x18): mean, median, 99th percentile, extremes.
# 2. Reports for both runs the time from starting tonrig to its first write on
#    the wire (seen in the log, polled every few ms) and from the stop request
#    (SIGINT) to the process's exit.
# 3. Plays demo-song.vkn for the given time and reports the CPU time of the
#    whole process (main thread and the library's worker) per second played.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/lib"
cp "$build/bin/VELKAN.BIN" "$build/bin/test-song.vkn" "$build/bin/demo-song.vkn" "$work/bin/"
section='[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\n'
if [[ -f "$build/bin/tonrig.exe" ]]; then
    cp "$build/bin/tonrig.exe" "$build/bin/TAVRO.DLL" "$build/lib/tavro_virtualboard.dll" "$work/bin/"
    printf "$section" >"$work/bin/TAVRO.ini"
    program=(wine ./tonrig.exe)
    module=tavro_virtualboard.dll
    export WINEDEBUG=-all
else
    cp "$build/bin/tonrig" "$work/bin/"
    cp "$build/lib/libtavro.so" "$work/lib/"
    printf "$section" >"$work/lib/libtavro.ini"
    program=(./tonrig)
    module="$build/lib/libtavro_virtualboard.so"
fi
ticks=$(getconf CLK_TCK)
nowNs() { date +%s%N; }

# play SONG LOG: plays for $seconds, sets startToWrite, stopToExit (ms) and
# cpuPercent (of one core, over the time played).
play() {
    local song=$1 log=$2 start first player stopped cpu0 cpu1 t0 t1
    cd "$work/bin"
    start=$(nowNs)
    TAVRO_D2XX_MODULE="$module" TAVRO_VB_LOG="$log" "${program[@]}" "$song" >/dev/null 2>&1 &
    player=$!
    until grep -q ' write ' "$log" 2>/dev/null; do
        kill -0 "$player" 2>/dev/null || { echo "tonrig ended before its first write" >&2; exit 1; }
        sleep 0.002
    done
    first=$(nowNs)
    startToWrite=$(((first - start) / 1000000))
    sleep 2
    cpu0=$(awk '{ print $14 + $15 }' "/proc/$player/stat")
    t0=$(nowNs)
    sleep $((seconds - 2))
    cpu1=$(awk '{ print $14 + $15 }' "/proc/$player/stat")
    t1=$(nowNs)
    cpuPercent=$(awk -v c=$((cpu1 - cpu0)) -v k="$ticks" -v ns=$((t1 - t0)) \
        'BEGIN { printf "%.2f", 100 * c / k / (ns / 1e9) }')
    stopped=$(nowNs)
    kill -INT "$player"
    wait "$player"
    stopToExit=$((($(nowNs) - stopped) / 1000000))
}

play test-song.vkn "$work/test.log"
echo "test-song.vkn, $seconds s:"
grep ' write port=1 pos=1 .* addr=0x18 ' "$work/test.log" | awk '{ print $1 }' |
    awk 'NR > 1 { print $1 - last } { last = $1 }' | sort -n |
    awk '{ v[NR] = $1; sum += $1 }
         END { printf "  10 ms writes: %d spacings, mean %.4f ms (%+.3f%%), median %.3f, p1 %.3f, p99 %.3f, min %.3f, max %.3f\n",
                      NR, sum / NR, (sum / NR - 10) * 10, v[int(NR * 0.5)], v[int(NR * 0.01) + 1],
                      v[int(NR * 0.99)], v[1], v[NR] }'
echo "  start to first write on the wire: $startToWrite ms; stop request to exit: $stopToExit ms"
echo "  CPU: $cpuPercent % of one core"

play demo-song.vkn "$work/demo.log"
echo "demo-song.vkn, $seconds s:"
echo "  start to first write on the wire: $startToWrite ms; stop request to exit: $stopToExit ms"
echo "  CPU: $cpuPercent % of one core"
