; The driver's own jingle, played by entry 0x180F when there is no data file:
; a rising C major arpeggio on OPM #1 over a bass note on OPM #2 and a PSG
; fifth, about one second, then every track ends with its key off.

jingle:
        song_header 60, 3, jingleVoices - jingle
        song_track CHIP_OPM1, 0, jingleArpeggio - jingle
        song_track CHIP_OPM2, 0, jingleBass - jingle
        song_track CHIP_PSG, 0, jingleFifth - jingle
        song_title jingle, "VELKAN"

jingleVoices:
        fm_voice 4, 5                           ; chime
        fm_ops 07h, 03h, 01h, 02h               ; DT1/MUL
        fm_ops 22h, 28h, 08h, 10h               ; TL
        fm_ops 1Fh, 1Fh, 1Fh, 1Fh               ; KS/AR
        fm_ops 08h, 08h, 06h, 06h               ; AMS/D1R
        fm_ops 04h, 04h, 03h, 03h               ; DT2/D2R
        fm_ops 36h, 36h, 28h, 28h               ; D1L/RR

jingleArpeggio:
        voice 0
        gate 1
        note C5, 3
        note E5, 3
        note G5, 3
        note C6, 9
        track_end

jingleBass:
        voice 0
        note C3, 18
        track_end

jingleFifth:
        voice 3
        volume 11
        note G4, 9
        note C5, 9
        track_end
