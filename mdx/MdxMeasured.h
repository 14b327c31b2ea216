// What the X68000's MDX driver does that the format does not say, measured
// by recording the reference driver's YM2151 writes for songs made for one
// command each (tests/mdx/MdxReferenceTest.cpp makes those songs and compares
// our writes with its writes, tick for tick). The numbers here are those
// measurements; the test named beside each one shows it.
#pragma once

#include <array>
#include <cstdint>

namespace mdx::measured {

// Volume 0-15 (0xFB n): attenuation added to each carrier's TL
// (test "VolumeSteps": TL written at key-on minus the voice's TL).
constexpr std::array<std::uint8_t, 16> volumeAttenuation = {
    0x2A, 0x28, 0x25, 0x22, 0x20, 0x1D, 0x1A, 0x18, 0x15, 0x12, 0x10, 0x0D, 0x0A, 0x08, 0x05, 0x02};
// Volume 0x80 + x: attenuation x itself.
constexpr std::uint8_t directVolumeFlag = 0x80;

// A note's pitch in 64ths of a semitone is note x 64 + detune + this offset
// (test "Detune": KF 5 with no detune).
constexpr int pitchOffset = 5;

// Portamento and the pitch LFO count in 256ths of a KF step
// (test "Portamento": +100 a clock moves KF by one step on the third clock).
constexpr int fractionBits = 8;

// At play start the driver sets every slot's D1L/RR to 0x0F and keys off every
// channel, three times over, then clears PMS/AMS, the test register, the noise
// and both LFO depths (test "Start": the writes before the first tick).
constexpr int startRepeats = 3;
constexpr std::uint8_t startReleaseByte = 0x0F;

// Fade-out (0xE7 0x01 n): every speed / 2 + 2 ticks the attenuation of
// every channel grows by one step; at the 63rd step the carriers are
// silenced and the song ends (test "Fade").
constexpr unsigned fadeSpeedDivisor = 2;
constexpr unsigned fadeIntervalBase = 2;
constexpr unsigned fadeEndLevel = 63;

// The level of the ADPCM voices against the FM in the reference's output:
// the RMS of a full-scale ADPCM square of about 488 Hz (16 nibbles of 7,
// then 16 of 0xF, at 15.6 kHz) over that of an FM sine (one carrier at TL 0)
// (test "MdxReferenceAdpcm.LevelAgainstTheFm").
constexpr double adpcmToFmLevel = 7.5;

// In 16-track songs (the PCM8 mixer) the ADPCM tracks have a volume: the
// gain of an attenuation x (a volume of 0x80 + x, or the attenuation of
// volume 0-15 above), in 16ths of volume 8's (which is the level without
// PCM8), silent from 43 on (test "MdxReferenceAdpcm.Pcm8Volumes").
constexpr unsigned pcm8GainUnit = 16;
constexpr std::array<std::uint8_t, 64> pcm8AttenuationGain = {
    80, 80, 80, 64, 64, 64, 48, 48, 48, 40, 40, 32, 32, 32, 24, 24, 24, 20, 20, 16, 16, 16,
    12, 12, 12, 10, 10, 8,  8,  8,  6,  6,  6,  5,  5,  4,  4,  4,  3,  3,  3,  2,  2,  0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};

// The PCM8 gain of a volume byte, in 16ths, for a sample started at a
// level of the fade-out: the fade's level adds to the volume's attenuation
// as it does on the FM, once, as the sample starts; a sample that plays on
// under the fade keeps its level (test "MdxReferenceAdpcm.TheFadeOnSamples").
constexpr unsigned pcm8Gain(unsigned volume, unsigned fadeLevel = 0) {
    const unsigned x = (volume & directVolumeFlag ? volume & ~directVolumeFlag & 0xFF
                                                  : volumeAttenuation[volume & 0x0F]) +
                       fadeLevel;
    return x < pcm8AttenuationGain.size() ? pcm8AttenuationGain[x] : 0;
}

// Without PCM8 (8-track songs) a sample has no volume: under the fade-out
// one starts at full level while the fade's level is at most this, and is
// not started beyond it, whatever the track's volume; one that plays on
// keeps its level (test "MdxReferenceAdpcm.TheFadeOnSamples").
constexpr unsigned adpcmFadeLimit = 10;

} // namespace mdx::measured
