; demo-song.vkn: the theme of the last movement of Beethoven's Ninth Symphony
; ("Ode to Joy", public domain) in D major, 16 bars, about 32 seconds, looping.
; OPM #1 plays the melody and the upper pad voice, OPM #2 the bass and the
; lower pad voice, the PSG a decaying broken-chord accompaniment. One step
; is a sixteenth note at 125 ms (crotchet = 120).

        INCLUDE "format.inc"

QUARTER         EQU 4
HALF            EQU 8
EIGHTH          EQU 2
DOTTED          EQU 6

V_LEAD          EQU 0
V_PAD           EQU 1
V_BASS          EQU 2

        org 0
song:
        song_header 125, 5, voices
        song_track CHIP_OPM1, 0, melody
        song_track CHIP_OPM1, 1, padHigh
        song_track CHIP_OPM2, 0, bass
        song_track CHIP_OPM2, 1, padLow
        song_track CHIP_PSG, 0, arpeggio
        song_title song, "Ode to Joy (Beethoven, Symphony No. 9) - VELKAN demo"

voices:
        fm_voice 4, 6                           ; lead: two detuned pairs
        fm_ops 01h, 03h, 01h, 31h               ; DT1/MUL
        fm_ops 23h, 30h, 0Ch, 0Ch               ; TL
        fm_ops 1Fh, 1Fh, 1Fh, 1Fh               ; KS/AR
        fm_ops 05h, 05h, 02h, 02h               ; AMS/D1R
        fm_ops 00h, 00h, 00h, 00h               ; DT2/D2R
        fm_ops 26h, 26h, 17h, 17h               ; D1L/RR

        fm_voice 5, 3                           ; pad: one modulator, three carriers
        fm_ops 01h, 11h, 01h, 31h
        fm_ops 28h, 1Ch, 1Ch, 1Ch
        fm_ops 12h, 0Eh, 0Eh, 0Eh
        fm_ops 03h, 00h, 00h, 00h
        fm_ops 00h, 00h, 00h, 00h
        fm_ops 15h, 05h, 05h, 05h

        fm_voice 4, 5                           ; bass: plucked pairs
        fm_ops 01h, 02h, 01h, 01h
        fm_ops 1Ch, 25h, 06h, 0Ah
        fm_ops 1Fh, 1Fh, 1Fh, 1Fh
        fm_ops 0Ah, 0Ch, 05h, 04h
        fm_ops 02h, 02h, 02h, 02h
        fm_ops 5Ah, 5Ah, 27h, 27h

; The harmony changes every half bar between D major and A major. Each part
; has one macro per chord; the progression macros take them as arguments.
hiD MACRO
        note A3, HALF
        ENDM
hiA MACRO
        note Cs4, HALF
        ENDM
loD MACRO
        note Fs3, HALF
        ENDM
loA MACRO
        note E3, HALF
        ENDM
bassD MACRO
        note D3, QUARTER
        note A2, QUARTER
        ENDM
bassA MACRO
        note A2, QUARTER
        note E2, QUARTER
        ENDM
arpD MACRO
        note D5, EIGHTH
        note Fs5, EIGHTH
        note A5, EIGHTH
        note Fs5, EIGHTH
        ENDM
arpA MACRO
        note Cs5, EIGHTH
        note E5, EIGHTH
        note A5, EIGHTH
        note E5, EIGHTH
        ENDM

; Bars 1-4 (and 5-8 with the close on D), bars 9-12.
phraseOpen MACRO onD, onA
        onD
        onD
        onD
        onA
        onD
        onD
        onA
        onA
        ENDM
phraseClose MACRO onD, onA
        onD
        onD
        onD
        onA
        onD
        onD
        onA
        onD
        ENDM
phraseMiddle MACRO onD, onA
        onA
        onD
        onA
        onD
        onA
        onA
        onD
        onA
        ENDM
progression MACRO onD, onA
        phraseOpen onD, onA
        phraseClose onD, onA
        phraseMiddle onD, onA
        phraseClose onD, onA
        ENDM

; Melody.
barRise MACRO
        note Fs4, QUARTER
        note Fs4, QUARTER
        note G4, QUARTER
        note A4, QUARTER
        note A4, QUARTER
        note G4, QUARTER
        note Fs4, QUARTER
        note E4, QUARTER
        note D4, QUARTER
        note D4, QUARTER
        note E4, QUARTER
        note Fs4, QUARTER
        ENDM

melody:
        voice V_LEAD
        gate 1
        loop_point
        barRise
        note Fs4, DOTTED
        note E4, EIGHTH
        note E4, HALF
        barRise
        note E4, DOTTED
        note D4, EIGHTH
        note D4, HALF
        note E4, QUARTER
        note E4, QUARTER
        note Fs4, QUARTER
        note D4, QUARTER
        note E4, QUARTER
        note Fs4, EIGHTH
        note G4, EIGHTH
        note Fs4, QUARTER
        note D4, QUARTER
        note E4, QUARTER
        note Fs4, EIGHTH
        note G4, EIGHTH
        note Fs4, QUARTER
        note E4, QUARTER
        note D4, QUARTER
        note E4, QUARTER
        note A3, HALF
        barRise
        note E4, DOTTED
        note D4, EIGHTH
        note D4, HALF
        track_end

padHigh:
        voice V_PAD
        gate 1
        loop_point
        progression hiD, hiA
        track_end

bass:
        voice V_BASS
        gate 1
        loop_point
        progression bassD, bassA
        track_end

padLow:
        voice V_PAD
        gate 1
        loop_point
        progression loD, loA
        track_end

arpeggio:
        voice 2                                 ; volume step every 2 frames
        volume 10
        loop_point
        progression arpD, arpA
        track_end
