#!/usr/bin/env bash
# Runs the built tonrig as a user would for a while (default 60 s) and reports
# its CPU time and peak memory from /usr/bin/time, then stops it with SIGINT.
#
#   bench/player/measure-player.sh BUILD_DIR [seconds] [music file]
#
# Plays BUILD_DIR/bin/VELKAN.BIN with the music file when the driver exists,
# otherwise the busy stand-in driver of player_timing without data.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
song=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ -f "$build/bin/VELKAN.BIN" ]]; then
    cp "$build/bin/VELKAN.BIN" "$work/"
else
    "$build/bin/player_timing" --write-busy-driver "$work/VELKAN.BIN"
    song=
fi
args=()
[[ -n "$song" ]] && args+=("$(cd "$(dirname "$song")" && pwd)/$(basename "$song")")
cd "$work"
/usr/bin/time -v -o time.txt "$build/bin/tonrig" "${args[@]}" >/dev/null 2>&1 &
sleep 0.5
player=$(pgrep -P $! -x tonrig)
sleep "$seconds"
kill -INT "$player"
wait
grep -E "User time|System time|Percent of CPU|Elapsed|Maximum resident" time.txt
