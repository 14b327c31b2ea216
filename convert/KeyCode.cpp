// Frequencies as YM2151 key codes; see KeyCode.h.
#include "convert/KeyCode.h"

#include <algorithm>
#include <cmath>

#include "synth/Ym2151Registers.h"

namespace convert {

namespace {

using Opm = synth::Ym2151Registers;

constexpr double referenceClock = 3579545;
constexpr double referenceHz = 440;
constexpr unsigned notesPerOctave = 12;
constexpr unsigned octaves = Opm::octaveField::maximum + 1;
constexpr unsigned fractionsPerNote = Opm::keyFractionField::maximum + 1;
// A4 at octave 4, note code 10: the ninth note (A) of an octave from C#.
constexpr unsigned referenceNote = 4 * notesPerOctave + 8;
// Note codes skip every fourth: three notes per four codes.
constexpr unsigned noteCode(unsigned note) {
    return note + note / 3;
}
constexpr unsigned noteOfCode(unsigned code) {
    return code - code / 4;
}

} // namespace

KeyCode keyCodeOf(double hz, std::uint32_t ym2151Clock) {
    const double reference = referenceHz * ym2151Clock / referenceClock;
    const double highest = octaves * notesPerOctave * fractionsPerNote - 1;
    const double fractions = std::clamp(
        std::round((referenceNote + notesPerOctave * std::log2(hz / reference)) * fractionsPerNote),
        0.0, highest);
    const auto steps = static_cast<unsigned>(fractions);
    const unsigned note = steps / fractionsPerNote;
    const auto code =
        static_cast<std::uint8_t>(Opm::octaveField::make(note / notesPerOctave) |
                                  Opm::noteField::make(noteCode(note % notesPerOctave)));
    return {code, Opm::keyFractionField::make(steps % fractionsPerNote)};
}

double frequencyOf(KeyCode key, std::uint32_t ym2151Clock) {
    const unsigned note =
        Opm::octaveField::of(key.code) * notesPerOctave + noteOfCode(Opm::noteField::of(key.code));
    const double semitones =
        note + Opm::keyFractionField::of(key.fraction) / static_cast<double>(fractionsPerNote);
    return referenceHz * ym2151Clock / referenceClock *
           std::exp2((semitones - referenceNote) / notesPerOctave);
}

double opnNoteHz(unsigned fNumber, unsigned block, double sampleRate) {
    return fNumber * std::exp2(static_cast<double>(block) - 1) * sampleRate / (1u << 20);
}

} // namespace convert
