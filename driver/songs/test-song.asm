; test-song.vkn: a song whose register writes are known in advance, for
; end-to-end tests of the player and the driver. Step k (k = 0, 1, 2, ...;
; one step every 10 ms) writes, in this order:
;   OPM #1 register 0x18 = k mod 256
;   OPM #2 register 0x18 = (k mod 256) xor 0xFF
;   PSG    register 0    = (k mod 256) xor 0x55
; Each track is 256 steps long and loops, so the values run on seamlessly and
; differ from the previous write of the same register every time.

        INCLUDE "format.inc"

TEST_TEMPO      EQU 10
OPM_TEST_REG    EQU 18h
PSG_TEST_REG    EQU 0

; 256 steps of one write each: value = step xor mask.
pattern MACRO register, mask
        loop_point
k       DEFL 0
        REPT 256
        reg register, k XOR mask
        hold 1
k       DEFL k + 1
        ENDM
        track_end
        ENDM

        org 0
song:
        song_header TEST_TEMPO, 3, voices
        song_track CHIP_OPM1, 0, opm1Track
        song_track CHIP_OPM2, 0, opm2Track
        song_track CHIP_PSG, 0, psgTrack
        song_title song, "Register pattern test"

voices:

opm1Track:
        pattern OPM_TEST_REG, 0
opm2Track:
        pattern OPM_TEST_REG, 0FFh
psgTrack:
        pattern PSG_TEST_REG, 55h
