; Event reader: runs a track's events from its pointer until one of them sets
; a new wait (note, rest, hold), the track ends, or the event budget is spent
; (a broken stream stops its track). A track may jump back to its loop point
; once per step: a second jump means a loop without a timed event.

; IX = track.
trackEvents:
        ld a, EVENT_BUDGET
        ld (eventBudget), a
        ld a, 1
        ld (loopJumps), a
        ld l, (ix + T_POINTER)
        ld h, (ix + T_POINTER + 1)
nextEvent:
        ld a, (eventBudget)
        dec a
        ld (eventBudget), a
        jp z, trackStop
        ld a, (hl)
        inc hl
        cp EV_REST
        jr c, eventNote
        cp EV_LAST + 1
        jr nc, trackStop
        sub EV_REST
        add a, a
        ld e, a
        ld d, 0
        push hl
        ld hl, eventHandlers
        add hl, de
        ld a, (hl)
        inc hl
        ld h, (hl)
        ld l, a
        ex (sp), hl             ; handler address on the stack, HL = stream
        ret

eventHandlers:
        dw eventRest
        dw eventVoice
        dw eventVolume
        dw eventRegister
        dw eventLoop
        dw eventEnd
        dw eventGate
        dw eventHold

; Ends the track: key off, inactive.
trackStop:
        ld (ix + T_ACTIVE), 0
        ld a, (ix + T_KEYED)
        or a
        ret z
        jp keyOff

; Stores the wait length at (HL) and the pointer after it.
setWait:
        ld a, (hl)
        inc hl
        ld (ix + T_WAIT), a
        ld (ix + T_POINTER), l
        ld (ix + T_POINTER + 1), h
        ret

; A = note number.
eventNote:
        push af
        call setWait
        pop af
        jp noteOn

eventRest:
        call setWait
        ld a, (ix + T_KEYED)
        or a
        ret z
        jp keyOff

eventHold:
        jp setWait

eventVoice:
        ld a, (hl)
        inc hl
        ld c, a
        ld a, (ix + T_CHIP)
        cp CHIP_PSG
        jr z, eventVoicePsg
        ld a, c
        push hl
        call loadVoice
        pop hl
        jp nextEvent
eventVoicePsg:
        ld (ix + T_DECAY), c
        jp nextEvent

eventVolume:
        ld a, (hl)
        inc hl
        and 0Fh
        ld (ix + T_VOLUME), a
        jp nextEvent

eventRegister:
        ld d, (hl)
        inc hl
        ld e, (hl)
        inc hl
        call trackWrite
        jp nextEvent

eventLoop:
        ld (ix + T_LOOP), l
        ld (ix + T_LOOP + 1), h
        jp nextEvent

eventEnd:
        ld a, (ix + T_LOOP)
        or (ix + T_LOOP + 1)
        jp z, trackStop
        ld a, (loopJumps)
        or a
        jp z, trackStop
        dec a
        ld (loopJumps), a
        ld l, (ix + T_LOOP)
        ld h, (ix + T_LOOP + 1)
        jp nextEvent

eventGate:
        ld a, (hl)
        inc hl
        ld (ix + T_GATE), a
        jp nextEvent
