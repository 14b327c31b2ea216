; Chip access: register writes through the latch and data ports, FM voices,
; notes and key off on the OPMs and the PSG.

; A = chip (CHIP_OPM1, CHIP_OPM2, CHIP_PSG), D = register, E = value.
; Keeps BC, DE and HL.
writeChip:
        push bc
        cp CHIP_PSG
        jr z, writeChipPsg
        ld bc, OPM1_ADDRESS
        or a
        jr z, writeChipOpm
        ld bc, OPM2_ADDRESS
writeChipOpm:
        out (c), d
        inc c
        out (c), e
        pop bc
        ret
writeChipPsg:
        ld bc, PSG_ADDRESS
        out (c), d
        ld b, PSG_DATA_HIGH
        out (c), e
        pop bc
        ret

; IX = track, D = register, E = value: a write to the track's chip.
trackWrite:
        ld a, (ix + T_CHIP)
        jr writeChip

; IX = track (an OPM one), A = voice number: writes connection, feedback and
; both outputs, then the 24 operator registers 0x40 to 0xF8 + channel.
loadVoice:
        ld l, a
        ld h, 0
        ld e, l
        ld d, h
        add hl, hl
        add hl, hl
        add hl, hl
        ld b, h
        ld c, l
        add hl, hl
        add hl, bc
        add hl, de              ; voice x 25
        ld de, (voiceTable)
        add hl, de
        ld a, (hl)
        inc hl
        and 3Fh
        or OPM_BOTH_SIDES
        ld e, a
        ld a, (ix + T_CHANNEL)
        add a, OPM_CONNECT
        ld d, a
        call trackWrite
        ld a, (ix + T_CHANNEL)
        add a, OPM_OPERATORS
        ld d, a
        ld b, VOICE_SIZE - 1
loadVoiceOperator:
        ld e, (hl)
        inc hl
        call trackWrite
        ld a, d
        add a, 8
        ld d, a
        djnz loadVoiceOperator
        ret

; IX = track, A = note number: key on the note (OPM) or set its period and
; start volume (PSG).
noteOn:
        ld c, a
        ld a, (ix + T_KEYED)
        or a
        call nz, keyOff
        ld (ix + T_KEYED), 1
        ld a, (ix + T_CHIP)
        cp CHIP_PSG
        jr z, psgNoteOn
        ld a, c
        sub OPM_NOTE_OFFSET
        jr nc, opmNoteLow
        xor a
opmNoteLow:
        cp 96
        jr c, opmNoteHigh
        ld a, 95
opmNoteHigh:
        ld b, 0
opmOctave:
        cp 12
        jr c, opmKeyCode
        sub 12
        inc b
        jr opmOctave
opmKeyCode:
        ld hl, opmNoteCodes
        ld e, a
        ld d, 0
        add hl, de
        ld a, b
        rlca
        rlca
        rlca
        rlca
        or (hl)
        ld e, a
        ld a, (ix + T_CHANNEL)
        add a, OPM_KEY_CODE
        ld d, a
        call trackWrite
        ld a, d
        add a, OPM_KEY_FRACTION - OPM_KEY_CODE
        ld d, a
        ld e, OPM_KF_4MHZ
        call trackWrite
        ld a, (ix + T_CHANNEL)
        or OPM_KEY_ON
        ld e, a
        ld d, OPM_KEY
        jp trackWrite

psgNoteOn:
        ld a, c
        sub PSG_LOWEST_NOTE
        jr nc, psgNoteLow
        xor a
psgNoteLow:
        cp PSG_NOTES
        jr c, psgNoteHigh
        ld a, PSG_NOTES - 1
psgNoteHigh:
        ld l, a
        ld h, 0
        add hl, hl
        ld de, psgPeriods
        add hl, de
        ld a, (ix + T_CHANNEL)
        add a, a
        ld d, a
        ld e, (hl)
        call trackWrite         ; fine period
        inc hl
        inc d
        ld e, (hl)
        call trackWrite         ; coarse period
        ld a, (ix + T_DECAY)
        ld (ix + T_DECAY_TIMER), a
        ld a, (ix + T_VOLUME)
        ld (ix + T_LEVEL), a
        ld e, a
        ld a, (ix + T_CHANNEL)
        add a, PSG_VOLUME
        ld d, a
        jp trackWrite

; IX = track: key off (OPM) or volume 0 (PSG).
keyOff:
        ld (ix + T_KEYED), 0
        ld a, (ix + T_CHIP)
        cp CHIP_PSG
        jr z, keyOffPsg
        ld e, (ix + T_CHANNEL)
        ld d, OPM_KEY
        jp trackWrite
keyOffPsg:
        ld a, (ix + T_CHANNEL)
        add a, PSG_VOLUME
        ld d, a
        ld e, 0
        jp trackWrite
