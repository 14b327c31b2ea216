; Song start and stop, and the sequencer step: every track counts down its
; wait and reads its next events when the wait runs out (events.asm).

; Entry 0x1803: the song loaded at 0x4000.
startData:
        ld hl, SONG_ADDRESS
        jr startSong

; Entry 0x180F: the driver's own jingle.
startOwn:
        ld hl, jingle

; HL = song. A song without the magic bytes is not played.
startSong:
        di
        push hl
        call stopSong
        pop iy
        ld a, (iy + 0)
        cp 'V'
        jr nz, startSongDone
        ld a, (iy + 1)
        cp 'K'
        jr nz, startSongDone
        ld a, (iy + 2)
        cp 'N'
        jr nz, startSongDone
        ld a, (iy + 3)
        cp SONG_MAGIC_1
        jr nz, startSongDone
        ld (songBase), iy
        ld a, (iy + HDR_TEMPO)
        or a
        jr nz, startSongTempo
        inc a
startSongTempo:
        ld (tempo), a
        ld (stepTimer), a
        ld l, (iy + HDR_VOICES)
        ld h, (iy + HDR_VOICES + 1)
        ld de, (songBase)
        add hl, de
        ld (voiceTable), hl
        ld a, (iy + HDR_TRACKS)
        cp MAX_TRACKS + 1
        jr c, startSongCount
        ld a, MAX_TRACKS
startSongCount:
        or a
        jr z, startSongDone
        ld b, a
        ld de, HDR_TRACK_LIST
        add iy, de
        ld ix, tracks
startSongTrack:
        call openTrack
        ld de, TRACK_ENTRY
        add iy, de
        djnz startSongTrack
        ld a, CHIP_PSG
        ld de, PSG_MIXER * 256 + PSG_MIXER_TONES
        call writeChip
        ld a, 1
        ld (playing), a
startSongDone:
        ei
        ret

; IY = track list entry, IX = next free track record. A valid entry fills the
; record and moves IX on; an entry naming no chip or channel is skipped.
openTrack:
        ld a, (iy + 0)
        cp CHIP_PSG + 1
        ret nc
        ld c, 8
        cp CHIP_PSG
        jr nz, openTrackChannel
        ld c, 3
openTrackChannel:
        ld (ix + T_CHIP), a
        ld a, (iy + 1)
        cp c
        ret nc
        ld (ix + T_CHANNEL), a
        ld l, (iy + 2)
        ld h, (iy + 3)
        ld de, (songBase)
        add hl, de
        ld (ix + T_POINTER), l
        ld (ix + T_POINTER + 1), h
        ld (ix + T_WAIT), 1
        ld (ix + T_VOLUME), DEFAULT_VOLUME
        ld (ix + T_ACTIVE), 1
        ld de, TRACK_SIZE
        add ix, de
        ret

; Entry 0x1806, also the start of every song: keys off on every sounding
; track, all track records cleared.
stopSong:
        xor a
        ld (playing), a
        ld ix, tracks
        ld b, MAX_TRACKS
stopSongTrack:
        ld a, (ix + T_KEYED)
        or a
        call nz, keyOff
        ld de, TRACK_SIZE
        add ix, de
        djnz stopSongTrack
        ld hl, tracks
        ld de, tracks + 1
        ld bc, RAM_END - tracks - 1
        ld (hl), 0
        ldir
        ret

; One step of every active track; playing ends when no track is left.
sequencerStep:
        ld ix, tracks
        ld b, MAX_TRACKS
        ld c, 0
sequencerStepTrack:
        ld a, (ix + T_ACTIVE)
        or a
        jr z, sequencerStepNext
        push bc
        call trackStep
        pop bc
        ld a, (ix + T_ACTIVE)
        or c
        ld c, a
sequencerStepNext:
        ld de, TRACK_SIZE
        add ix, de
        djnz sequencerStepTrack
        ld a, c
        ld (playing), a
        ret

; IX = track. A note is released when its remaining wait equals the gate.
trackStep:
        dec (ix + T_WAIT)
        jp z, trackEvents
        ld a, (ix + T_KEYED)
        or a
        ret z
        ld a, (ix + T_WAIT)
        cp (ix + T_GATE)
        ret nz
        jp keyOff

; Frame routine: every sounding PSG note with a decay speed loses one volume
; step each time its decay timer runs out.
decayPsgNotes:
        ld ix, tracks
        ld b, MAX_TRACKS
decayPsgTrack:
        ld a, (ix + T_CHIP)
        cp CHIP_PSG
        jr nz, decayPsgNext
        ld a, (ix + T_KEYED)
        or a
        jr z, decayPsgNext
        ld a, (ix + T_DECAY)
        or a
        jr z, decayPsgNext
        dec (ix + T_DECAY_TIMER)
        jr nz, decayPsgNext
        ld (ix + T_DECAY_TIMER), a
        ld a, (ix + T_LEVEL)
        or a
        jr z, decayPsgNext
        dec a
        ld (ix + T_LEVEL), a
        ld e, a
        ld a, (ix + T_CHANNEL)
        add a, PSG_VOLUME
        ld d, a
        ld a, CHIP_PSG
        call writeChip
decayPsgNext:
        ld de, TRACK_SIZE
        add ix, de
        djnz decayPsgTrack
        ret
