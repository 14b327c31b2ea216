; VELKAN.BIN, the sound driver that tonrig runs at 0x1800 on its emulated
; machine. Assembled with pasmo into a raw image. It plays songs in the format
; of SONG-FORMAT.md on two OPM chips and a PSG, keeping time with the CTC.
;
; Entry points (each is called as a subroutine and returns):
;   0x1800 init: vector table, CTC, chips silenced
;   0x1803 start the song at 0x4000
;   0x1806 stop playing, keys off
;   0x1809, 0x180C reserved: return at once
;   0x180F start the driver's own jingle (no data file)
; Interrupts (mode 2, CTC vector + 2 and + 6): channel 1 every millisecond
; runs the sequencer, channel 3 every frame runs the PSG volume decay.
;
; The driver uses the caller's stack and keeps its variables at 0xF000 up.

        INCLUDE "format.inc"
        INCLUDE "hardware.inc"

        org 1800h
        jp init
        jp startData
        jp stopSong
        jp reserved
        jp reserved
        jp startOwn

reserved:
        ret

        INCLUDE "init.asm"
        INCLUDE "interrupts.asm"
        INCLUDE "sequencer.asm"
        INCLUDE "events.asm"
        INCLUDE "chips.asm"
        INCLUDE "tables.asm"
        INCLUDE "jingle.asm"

driverEnd:
        IF driverEnd > SONG_ADDRESS
        .ERROR the driver reaches the song area at 0x4000
        ENDIF
