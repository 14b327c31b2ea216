#!/usr/bin/env bash
# Measures how late key-ons leave the wire after voice set-up bursts, on the
# virtual board (a KX7M board at 4 MHz) at the default Speed 115200 and at
# 921600: a YM2151 song of SECONDS (default 30) with a burst of SIZE writes
# (default 119) at one instant every half second, single writes between.
# Prints per speed the lateness of every key-on and of the key-ons that end a
# burst (p50, p99, largest; see tavroplay_bench keyons).
#
#   bench/tavroplay/measure-bursts.sh BUILD_DIR [seconds] [size]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
size=${3:-119}
source "$(dirname "$0")/scratch-install.sh"
"$build/bin/tavroplay_bench" bursts bursts.vgm "$seconds" "$size"
for speed in 115200 921600; do
    write_board_ini "$speed"
    echo "== Speed $speed, bursts of $size writes, $seconds s"
    rm -f bursts.log
    TAVRO_VB_LOG=bursts.log ./tavroplay --quiet bursts.vgm
    "$build/bin/tavroplay_bench" keyons bursts.vgm bursts.log
done
