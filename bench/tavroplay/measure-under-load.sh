#!/usr/bin/env bash
# Measures the timing of tavroplay's writes on the virtual board (a KX7M
# board at 4 MHz) against the file's own times, first on the machine as it
# is, then with a parallel build keeping every core busy: two compiler jobs
# at a time, each restarted as soon as it ends, for as long as the file plays.
# Prints, per run, the scheduling the timing threads run under and the error
# of the writes on the wire (mean, p99, largest, drift; see tavroplay_bench).
#
#   bench/tavroplay/measure-under-load.sh BUILD_DIR [seconds] [jobs]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
jobs=${3:-2}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
loaders=()
stop_load() {
    for pid in "${loaders[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${loaders[@]}"; do wait "$pid" 2>/dev/null || true; done
    loaders=()
}
on_exit() { stop_load; }
source "$source_dir/bench/tavroplay/scratch-install.sh"
"$build/bin/tavroplay_bench" timing timing.vgm "$seconds"

# One compiler job after another, as a build would run them.
compile_forever() {
    while :; do
        g++ -std=c++20 -O2 -I"$source_dir" -c "$source_dir/synth/Ym2151.cpp" -o "$work/load$1.o"
    done
}

play() {
    ./tavroplay --list | grep -i 'scheduling' || true
    rm -f timing.log
    TAVRO_VB_LOG=timing.log ./tavroplay --quiet timing.vgm
    "$build/bin/tavroplay_bench" analyse timing.vgm timing.log
}

echo "== quiet machine, $seconds s"
play
echo "== $jobs compiler jobs running, $seconds s"
for job in $(seq "$jobs"); do
    compile_forever "$job" >/dev/null 2>&1 &
    loaders+=($!)
done
play
stop_load
