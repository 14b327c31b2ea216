#!/usr/bin/env bash
# Measures tavroplay on the virtual board (a KX7M board at 4 MHz), laid out as
# installed in a scratch folder:
#   - timing of the writes on the wire against the file's own times over a
#     file of SECONDS (default 60): mean, p99, largest, drift;
#   - CPU time while playing a dense YM2151 file (800 writes a second, 30 s);
#   - start to first write: from starting the program to the first write on
#     the wire, less the library's send delay (100 ms);
#   - --wav render speed, in times real time, when the build renders.
#
#   bench/tavroplay/measure-tavroplay.sh BUILD_DIR [seconds]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
source "$(dirname "$0")/scratch-install.sh"
bench=$build/bin/tavroplay_bench

echo "== timing over $seconds s"
"$bench" timing timing.vgm "$seconds"
TAVRO_VB_LOG=timing.log ./tavroplay --quiet timing.vgm
"$bench" analyse timing.vgm timing.log

echo "== CPU while playing a dense YM2151 file (800 writes/s, 30 s)"
"$bench" dense dense.vgm 30 800
/usr/bin/time -f "user %U s, system %S s, elapsed %e s, CPU %P, peak memory %M KiB" \
    ./tavroplay --quiet dense.vgm

echo "== start to first write"
for run in 1 2 3 4 5; do
    rm -f first.log
    start=$(date +%s%N)
    TAVRO_VB_LOG=first.log ./tavroplay --quiet timing.vgm &
    player=$!
    until grep -q ' write ' first.log 2>/dev/null; do sleep 0.001; done
    now=$(date +%s%N)
    kill -INT "$player"
    wait "$player"
    echo "run $run: $(((now - start) / 1000000)) ms (send delay included: 100 ms)"
done

echo "== --wav render speed"
if /usr/bin/time -f "%e" -o wav.time ./tavroplay --quiet --wav dense.wav dense.vgm 2>wav.err; then
    awk '{ printf "30 s of music in %.2f s: %.0f times real time\n", $1, 30 / ($1 > 0 ? $1 : 0.01) }' wav.time
else
    cat wav.err
fi
