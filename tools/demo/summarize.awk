# Summarises the virtual board's event log (tools/virtualboard/README.md) of a
# KX7M board: register writes per chip position, key-ons, the first and last
# write, whether the board was left in reset and closed, and what it played
# and wrote.
#
#   awk -f summarize.awk board.log
#
# Key-ons: on a YM2151, writes to register 0x08 with any operator bit set; on
# the SSG, a channel volume (registers 8 to 10) that rises, which is how the
# driver starts a note (its decay only lowers volumes). Plain POSIX awk.
function hex(text,    digits, value, i) {
    digits = "0123456789abcdef"
    value = 0
    for (i = 3; i <= length(text); i++)
        value = value * 16 + index(digits, tolower(substr(text, i, 1))) - 1
    return value
}
$2 == "write" {
    for (i = 3; i <= NF; i++) {
        split($i, kv, "=")
        f[kv[1]] = kv[2]
    }
    pos = f["pos"]
    addr = hex(f["addr"])
    data = hex(f["data"])
    chip[pos] = f["chip"]
    count[pos]++
    if (!(pos in first)) first[pos] = $1
    last[pos] = $1
    if (pos > 0 && addr == 8 && int(data / 8) % 16 != 0) keyon[pos]++
    if (pos == 0 && addr >= 8 && addr <= 10) {
        volume = data % 16
        if (volume > prev[addr] + 0) keyon[pos]++
        prev[addr] = volume
    }
    lastWriteLine = NR
    total++
}
$2 == "reset" { lastResetLine = NR }
$2 == "close" { closed = 1 }
$2 == "vgm" && $NF ~ /^samples=/ { vgmSeconds = substr($NF, 9) / 44100 }
$2 == "audio" { playedLive = 1 }
$2 == "audio-end" {
    for (i = 3; i <= NF; i++) {
        split($i, kv, "=")
        sound[kv[1]] = kv[2]
    }
}
$2 == "wav" && $NF ~ /^frames=/ { wavSeconds = substr($NF, 8) / 48000 }
END {
    split("OPM #1,OPM #2,PSG", label, ",")
    order[1] = 1; order[2] = 2; order[3] = 0
    printf "  %-8s %-4s %-7s %8s %8s %10s %10s\n", "chip", "pos", "type", "writes", "key-ons", "first (s)", "last (s)"
    for (n = 1; n <= 3; n++) {
        pos = order[n]
        if (!(pos in count)) {
            printf "  %-8s %-4s %-7s %8d\n", label[n], pos, "-", 0
            continue
        }
        printf "  %-8s %-4s %-7s %8d %8d %10.3f %10.3f\n", label[n], pos, chip[pos], count[pos], keyon[pos], first[pos] / 1000, last[pos] / 1000
    }
    printf "  %d register writes in all; times in seconds since the board was opened.\n", total
    if (closed && lastResetLine > lastWriteLine)
        print "  The board was left in reset and closed."
    else
        print "  WARNING: the board was not left in reset and closed."
    if (vgmSeconds > 0) printf "  The VGM recording is %.1f s long.\n", vgmSeconds
    if (playedLive)
        printf "  Played live: started %s ms after the board opened, %s underruns, %s late writes, %s resyncs.\n", sound["start-ms"], sound["underruns"], sound["late"], sound["resyncs"]
    if (wavSeconds > 0) printf "  The sound file is %.1f s long.\n", wavSeconds
}
