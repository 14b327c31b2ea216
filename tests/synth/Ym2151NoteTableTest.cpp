// How the YM2151's phase steps (synth::ym2151::noteStep) were measured: the
// die-shot-derived emulator plays every key code of octave 7 with every key
// fraction as a single sine (C2 alone, MUL 15, no detune, TL 0, AR 31), keyed
// on afresh so that its phase starts from 0, and each note's step is the one
// phase increment per frame whose sine reproduces all of the note's frames
// exactly. Octave 7 keeps every bit of the step (lower octaves shift it right).
// Skips when ../shared/reference is absent.
#include "Ym2151Oracle.h"
#include "Ym2151Streams.h"
#include "synth/FmCore.h"
#include "synth/Ym2151Tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <sstream>

namespace {

#ifdef TONRIG_HAVE_OPM_ORACLE
using ym2151test::Operator;
using ym2151test::Stream;

constexpr unsigned notesPerOctave = 12;
constexpr unsigned fractions = 64;
constexpr unsigned entries = notesPerOctave * fractions;
constexpr std::uint32_t framesPerNote = 200;
// MUL 15 makes a step one unit off drift by 15 units a frame, so that it
// shows within the note's frames whatever the step's low bits.
constexpr unsigned multiple = 15;
constexpr unsigned phaseBits = 20;
constexpr std::uint32_t phaseMask = (1u << phaseBits) - 1;
// The phase restarts a few frames after the key-on write reaches the oracle.
constexpr std::uint32_t latestRestart = 12;

// The DAC level of a full-volume sine at the phase's top 10 bits, from the
// chip's log-sine and exponent ROMs and the DAC's floating-point format.
int sineLevel(std::uint32_t phase) {
    constexpr unsigned magnitudeBits = 13;
    const unsigned p = phase >> (phaseBits - synth::fm::phaseBits);
    const int v = synth::fm::sineMagnitude<magnitudeBits>(p, 0);
    return ym2151test::dacLevel(synth::fm::negativeHalf(p) ? -v : v);
}

// The step that, with the phase restarting at one of the frames from `from`
// to `from + latestRestart`, reproduces the next framesPerNote frames of one
// output (0 left, 1 right), if exactly one does.
std::optional<std::uint32_t> fitStep(const std::vector<std::int16_t>& out, unsigned side,
                                     std::uint32_t from, std::uint32_t expected) {
    std::optional<std::uint32_t> found;
    for (std::uint32_t restart = from; restart <= from + latestRestart; ++restart) {
        for (std::uint32_t step = expected - expected / 64; step <= expected + expected / 64;
             ++step) {
            bool fits = true;
            for (std::uint32_t k = 0; k < framesPerNote && fits; ++k)
                fits =
                    out[2 * (restart + k) + side] == sineLevel((k * step * multiple) & phaseMask);
            if (!fits) continue;
            if (found) return std::nullopt; // ambiguous
            found = step;
        }
    }
    return found;
}

// Two notes at a time: entry i on channel 0 (left output only), entry i + 1
// on channel 1 (right only).
TEST(Ym2151NoteTable, MeasuredFromTheDieShotEmulator) {
    Stream s("note_table");
    constexpr unsigned leftOnly = 1, rightOnly = 2;
    s.channel(0, 7, 0, leftOnly);
    s.channel(1, 7, 0, rightOnly);
    Operator sine;
    sine.mul = multiple;
    s.op(0, 3, sine);
    s.op(1, 3, sine);
    std::vector<std::uint32_t> keyOnFrames(entries);
    for (unsigned i = 0; i < entries; i += 2) {
        for (unsigned ch = 0; ch < 2; ++ch) {
            const unsigned semitone = (i + ch) / fractions;
            s.note(ch, 0x70 | (semitone + semitone / 3), (i + ch) % fractions);
            s.key(ch, 0);
        }
        for (unsigned ch = 0; ch < 2; ++ch) {
            keyOnFrames[i + ch] = s.length();
            s.key(ch, 8);
        }
        s.wait(framesPerNote + latestRestart);
    }
    const std::vector<std::int16_t> out = ym2151test::runOracle(s, s.length() + latestRestart);

    std::vector<std::uint32_t> measured(entries);
    for (unsigned i = 0; i < entries; ++i) {
        // Where the exponential curve through A = 440 Hz at 3.58 MHz puts it.
        const double a7 = 440.0 * 1048576.0 / (3580000.0 / 64.0) * 8.0;
        const auto expected =
            static_cast<std::uint32_t>(a7 * std::pow(2.0, (static_cast<int>(i) - 512) / 768.0));
        const std::optional<std::uint32_t> step = fitStep(out, i & 1, keyOnFrames[i], expected);
        ASSERT_TRUE(step.has_value()) << "no single step fits entry " << i;
        measured[i] = *step;
    }
    // Octave 7 is octave 0's step with its two fraction bits, shifted by 7.
    constexpr unsigned octave7 = 7 - 2;
    std::ostringstream table;
    bool same = true;
    for (unsigned i = 0; i < entries; ++i) {
        table << (measured[i] >> octave7) << (i % 16 == 15 ? ",\n" : ", ");
        same = same && measured[i] == (std::uint32_t{synth::ym2151::noteStep[i]} << octave7);
    }
    EXPECT_TRUE(same) << "the measured noteStep table:\n" << table.str();
}
#endif

} // namespace
