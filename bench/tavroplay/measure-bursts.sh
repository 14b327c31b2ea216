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
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/lib"
cp "$build/bin/tavroplay" "$work/bin/"
cp "$build/lib/libtavro.so" "$work/lib/"
export TAVRO_D2XX_MODULE=$build/lib/libtavro_virtualboard.so TAVRO_VB_PORTS=1 TAVRO_VB_MODEL=KX7M
cd "$work/bin"
"$build/bin/tavroplay_bench" bursts bursts.vgm "$seconds" "$size"
for speed in 115200 921600; do
    printf '[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\nSpeed=%s\n' "$speed" \
        >"$work/lib/libtavro.ini"
    echo "== Speed $speed, bursts of $size writes, $seconds s"
    rm -f bursts.log
    TAVRO_VB_LOG=bursts.log ./tavroplay --quiet bursts.vgm
    "$build/bin/tavroplay_bench" keyons bursts.vgm bursts.log
done
