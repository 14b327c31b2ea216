// BoardMixer: the chips of one interface board, each at its own clock, mixed
// into one 48 kHz stereo stream as the board's line output would carry it.
//
// Use: addChip() for each chip in board order, write() register writes as they
// happen, render() the next frames. A write takes effect from the chip frame
// that follows the frames generated so far, so a caller that needs writes at
// given times renders up to each write's time, then writes.
//
// Each chip generates at its own frame rate (SSG clock / 8, YM2151 clock / 64,
// YM2413 clock / 72) into a resampler of its own (libsoxr, high quality) that
// converts it to 48 kHz; a chip generates exactly as many frames as the output
// frames rendered so far stand for, plus a constant lead that covers what
// the resampler holds back (it hands out its output in blocks), so every chip
// keeps a fixed latency from write to sound, whatever the slicing of the
// render calls: 13 to 16 ms, depending on the chip's rate.
//
// Levels, chosen so that a full board never clips: each chip's full scale
// gets 0.9/n of the output's full scale, n the number of chips (0.3 on both
// boards), the last tenth left for the resampler's overshoot at steep edges:
//   - YM2151: in stereo, its left output on the left, right on the right;
//     full scale 32768 (the DAC's largest word).
//   - SSG: centred (the same on both outputs); full scale 32766, the three
//     channels at their loudest step. Its output is unipolar, as on the chip's
//     pins; a first-order high-pass at 10 Hz takes the offset away, as the
//     board's output coupling capacitor does.
//   - YM2413: centred; full scale 4590 (18 output phases of 255 steps).
// So one YM2151 voice at full volume (a quarter of the chip's full scale)
// peaks at about -22.5 dBFS, one SSG tone at its loudest step (a square wave
// of 10922 steps, +-5461 once the offset is gone) at about -26 dBFS, one
// YM2413 melody voice at full volume (+-255 steps in one phase) at about
// -35.5 dBFS: the YM2413's nine voices and its rhythm share its full scale.
//
// Rendering allocates nothing: every buffer is sized when the chip is added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace synth {

class BoardMixer {
public:
    enum class ChipKind { ssg, ym2151, ym2413 };
    static constexpr std::uint32_t outputRate = 48000;

    BoardMixer();
    ~BoardMixer();
    BoardMixer(const BoardMixer&) = delete;
    BoardMixer& operator=(const BoardMixer&) = delete;

    // Adds a chip and gives its index (0, 1, ... in the order added). For the
    // SSG clockHz is the PSG clock (2 MHz on a 4 MHz KX7M). A clock of 0 is
    // taken as 1 Hz.
    std::size_t addChip(ChipKind kind, std::uint32_t clockHz);
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

} // namespace synth
