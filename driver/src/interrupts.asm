; Interrupt routines and the mode-2 vector table. Each routine saves every
; register it touches and ends with EI / RETI.

; Channel 1, every millisecond: counts down the step timer and runs one
; sequencer step every tempo milliseconds.
stepInterrupt:
        push af
        ld a, (playing)
        or a
        jr z, stepInterruptDone
        ld a, (stepTimer)
        dec a
        ld (stepTimer), a
        jr nz, stepInterruptDone
        ld a, (tempo)
        ld (stepTimer), a
        push bc
        push de
        push hl
        push ix
        call sequencerStep
        pop ix
        pop hl
        pop de
        pop bc
stepInterruptDone:
        pop af
        ei
        reti

; Channel 3, every frame: PSG volume decay of the sounding PSG notes.
frameInterrupt:
        push af
        push bc
        push de
        push ix
        ld a, (playing)
        or a
        call nz, decayPsgNotes
        pop ix
        pop de
        pop bc
        pop af
        ei
        reti

; Channels 0 and 2 do not interrupt; their entries point here all the same.
spareInterrupt:
        ei
        reti

; The vector table must start on a multiple of 8 (the CTC supplies bits 0
; to 2 of the vector).
        ds (8 - ($ & 7)) & 7
vectors:
        dw spareInterrupt       ; channel 0
        dw stepInterrupt        ; channel 1
        dw spareInterrupt       ; channel 2
        dw frameInterrupt       ; channel 3
