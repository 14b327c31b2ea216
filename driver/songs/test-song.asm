; test-song.vkn: a song whose register writes are known in advance, for
; end-to-end tests of the player and the driver. Step k (k = 0, 1, 2, ...;
; one step every 10 ms) writes, in this order:
;   OPM #1 register 0x18 = k mod 256
;   OPM #2 register 0x18 = (k mod 256) xor 0xFF
;   PSG    register 0    = (k mod 256) xor 0x55
; Each track is 256 steps long and loops, so the values run on seamlessly and
; differ from the previous write of the same register every time. Before its
; first pattern write, each track starts one steady tone that the pattern
; leaves alone (the LFO rate is unheard while the LFO depths are 0, PSG
; channel A is at volume 0):
;   OPM #1 channel 0: a sine (operator M1 alone), key code 0x4A, left only
;   OPM #2 channel 0: a sine (operator M1 alone), key code 0x54, right only
;   PSG channel B: tone period 0x190, volume 12

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

; A sine on channel 0: outputs (0x40 left, 0x80 right) with connection 7,
; operator M1 at MUL 1 and attack rate 31 (TL 0 from reset), key on M1.
opm_sine MACRO outputs, keycode
        reg 20h, outputs | 07h
        reg 40h, 01h
        reg 80h, 1Fh
        reg 28h, keycode
        reg 08h, 08h
        ENDM

opm1Track:
        opm_sine 40h, 4Ah
        pattern OPM_TEST_REG, 0
opm2Track:
        opm_sine 80h, 54h
        pattern OPM_TEST_REG, 0FFh
psgTrack:
        reg 2, 90h
        reg 3, 01h
        reg 9, 0Ch
        pattern PSG_TEST_REG, 55h
