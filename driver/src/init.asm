; Driver initialisation (entry 0x1800): interrupt mode 2 with the vector
; table, RAM cleared, CTC channels programmed, all chips silenced.

init:
        di
        ld a, vectors >> 8
        ld i, a
        im 2
        ld hl, RAM_BASE
        ld de, RAM_BASE + 1
        ld bc, RAM_END - RAM_BASE - 1
        ld (hl), 0
        ldir
        call setupCtc
        call silenceChips
        ei
        ret

; Channel 0: 1 ms timer without interrupt, also the vector holder and the
; count source of channel 3. Channel 1: 1 ms timer with interrupt. Channel 2:
; stopped. Channel 3: counts channel 0's periods, interrupt every frame.
setupCtc:
        ld bc, CTC_PORT
        ld a, vectors & 0FFh    ; vector word (bit 0 clear)
        out (c), a
        ld a, CTC_TIMER16
        out (c), a
        ld a, MS_CONSTANT
        out (c), a
        ld c, CTC_CH2
        ld a, CTC_STOP
        out (c), a
        ld c, CTC_CH1
        ld a, CTC_TIMER16_INT
        out (c), a
        ld a, MS_CONSTANT
        out (c), a
        ld c, CTC_CH3
        ld a, CTC_COUNTER_INT
        out (c), a
        ld a, FRAME_MS
        out (c), a
        ret

; Keys off on both OPMs with the fastest release, LFO and noise off; PSG
; mixer off and volumes 0.
silenceChips:
        ld a, CHIP_OPM1
        call silenceOpm
        ld a, CHIP_OPM2
        call silenceOpm
        ld a, CHIP_PSG
        ld de, PSG_MIXER * 256 + PSG_MIXER_OFF
        call writeChip
        ld de, PSG_VOLUME * 256
silencePsgVolume:
        ld a, CHIP_PSG
        call writeChip
        inc d
        ld a, d
        cp PSG_VOLUME + 3
        jr nz, silencePsgVolume
        ret

; A = chip.
silenceOpm:
        ld de, OPM_KEY * 256
silenceOpmKey:
        call writeChip
        inc e
        bit 3, e
        jr z, silenceOpmKey
        ld de, OPM_RELEASE * 256 + 0FFh
silenceOpmRelease:
        call writeChip
        inc d
        jr nz, silenceOpmRelease
        ld de, OPM_NOISE * 256
        call writeChip
        ld d, OPM_LFO_DEPTH
        call writeChip          ; amplitude depth 0
        ld e, 80h
        call writeChip          ; phase depth 0
        ld de, OPM_LFO_WAVE * 256
        jp writeChip
