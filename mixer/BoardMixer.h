// BoardMixer: the chips of one interface board (or one song file), each at its
// own clock, mixed into one 48 kHz stereo stream as the board's line output
// would carry it. The virtual board and tavroplay's --wav both mix through it,
// so both follow the one mixing rule below.
//
// Use: addChip() for each chip in board order, by its catalog chip type code
// and clock; write() register writes as they happen, render() the next frames.
// A write takes effect from the chip frame that follows the frames generated
// so far, so a caller that needs writes at given times renders up to each
// write's time, then writes.
//
// Each chip generates at its own frame rate (its clock over the
// clocksPerFrame its class states) into a resampler of its own (libsoxr, high
// quality) that converts it to 48 kHz; a chip generates exactly as many frames
// as the output frames rendered so far stand for, plus a constant lead that
// covers what the resampler holds back (it hands out its output in blocks), so
// every chip keeps a fixed latency from write to sound, whatever the slicing
// of the render calls: 13 to 16 ms, depending on the chip's rate. Chip frames
// the resampler could not take yet wait for it: none is ever dropped.
//
// The mixing rule: every chip of a family gets the same fixed share of the
// output's full scale, whatever the number of chips (fullScaleShare()), as the
// resistors of a board's output mix do. So one voice of each family comes out
// at the same level on every board and in every file:
//   - YM2151: in stereo, its left output on the left, right on the right; its
//     full scale (the DAC's largest word) at 0.3: one voice at full volume (a
//     quarter of the chip's full scale) peaks at -22.5 dBFS.
//   - SSG: centred (the same on both outputs); its full scale (the three
//     channels at their loudest step) at 0.3: one tone at its loudest step (a
//     square wave of 10922 steps, +-5461 once the offset is gone) at -26 dBFS.
//     Its output is unipolar, as on the chip's pins; a first-order high-pass
//     at 10 Hz takes the offset away, as the board's output coupling capacitor
//     does.
//   - YM2413: centred; one melody voice at full volume (+-255 steps in one
//     phase) 7 dB below a YM2151 voice, at -29.5 dBFS, as the fast reference
//     emulator sets the two chips' voices apart (measured by the mixer's
//     tests): its full scale (18 phases of 255 steps) at 0.6.
// A KX7M (SSG and two YM2151) at its very loudest stays below full scale; a
// TRQ05 (SSG and two YM2413) could reach it only with all eighteen melody
// voices and the rhythm at full volume in phase, which music does not do; the
// mix is clamped there.
//
// Rendering allocates nothing: every buffer is sized when the chip is added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace mixer {

class BoardMixer {
public:
    static constexpr std::uint32_t outputRate = 48000;
    // The clocks a chip is given here: below, a chip's frames would come too
    // slowly for its resampler; above, faster than any part is made for.
    static constexpr std::uint32_t minClockHz = 100000;
    static constexpr std::uint32_t maxClockHz = 60000000;

    BoardMixer();
    ~BoardMixer();
    BoardMixer(const BoardMixer&) = delete;
    BoardMixer& operator=(const BoardMixer&) = delete;

    // Whether a chip type code (tavro::chipType...) has a software chip here:
    // the YM2151, the YM2413 and the PSG (an SSG run as a PSG, at its PSG
    // clock: a board's YMZ294 is added as its PSG alternate).
    static bool plays(std::int32_t chipType);
    // The share of the output's full scale a chip of this type's full scale
    // takes (the mixing rule above); 0 for a type without a software chip.
    static double fullScaleShare(std::int32_t chipType);

    // Adds a chip and gives its index (0, 1, ... in the order added); nothing
    // when the type has no software chip or the clock lies outside
    // [minClockHz, maxClockHz].
    std::optional<std::size_t> addChip(std::int32_t chipType, std::uint32_t clockHz);
    // One register write to a chip (SSG: address = register 0-15); writes to
    // an index that was never added are ignored.
    void write(std::size_t chip, std::uint8_t address, std::uint8_t data);
    // Resets every chip, as the board's reset line does.
    void reset();
    // The next frames at 48 kHz, interleaved left, right.
    void render(std::int16_t* leftRight, std::size_t frames);

    // The output frames from a write to a chip to its sound (the chip's
    // lead; the last frames rendered before the write stand for the time of
    // the write).
    std::uint64_t latencyFrames(std::size_t chip) const;

    // The factor from a chip's sample to the output's, both in 16-bit steps
    // (the levels documented above).
    double gain(std::size_t chip) const;

private:
    class Source;
    void renderSlice(std::int16_t* leftRight, std::size_t frames);

    std::vector<std::unique_ptr<Source>> chips_;
    std::vector<float> mix_;     // one slice, interleaved
    std::uint64_t rendered_ = 0; // output frames rendered so far
};

} // namespace mixer
