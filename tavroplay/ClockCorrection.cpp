// Clock correction; see ClockCorrection.h.
#include "tavroplay/ClockCorrection.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavroplay {

namespace {

constexpr int stepsPerSemitone = 64;
constexpr int octaves = 8;
constexpr int stepsPerOctave = 12 * stepsPerSemitone;
constexpr int blocks = 8;

// Note code to semitone within the octave. The unused codes 3, 7, 11 and 15
// sound as the note above them.
constexpr std::array<int, 16> semitoneOfCode = {0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12};
constexpr std::array<int, 12> codeOfSemitone = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};

} // namespace

int keyCodePitch(KeyCode code) {
    const int octave = code.kc >> 4 & 7;
    return octave * stepsPerOctave + semitoneOfCode[code.kc & 15] * stepsPerSemitone +
           (code.kf >> 2);
}

KeyCode correctKeyCode(KeyCode code, double ratio) {
    const double shift = 12.0 * stepsPerSemitone * std::log2(ratio);
    const long pitch = std::lround(keyCodePitch(code) + shift);
    const int held = static_cast<int>(std::clamp<long>(pitch, 0, octaves * stepsPerOctave - 1));
    const int octave = held / stepsPerOctave;
    const int semitone = held % stepsPerOctave / stepsPerSemitone;
    const int fraction = held % stepsPerSemitone;
    return {static_cast<std::uint8_t>(octave << 4 | codeOfSemitone[semitone]),
            static_cast<std::uint8_t>(fraction << 2 | (code.kf & 3))};
}

std::uint32_t correctPeriod(std::uint32_t period, double ratio, std::uint32_t maximum) {
    if (period == 0) return 0;
    const double scaled = std::round(period / ratio);
    return static_cast<std::uint32_t>(std::clamp(scaled, 1.0, static_cast<double>(maximum)));
}

FNumber correctFNumber(FNumber value, double ratio, int fnumberBits) {
    const double limit = static_cast<double>(1 << fnumberBits);
    double fnumber = value.fnumber * ratio;
    int block = value.block;
    if (fnumber == 0) return {0, value.block};
    while (fnumber >= limit - 0.5 && block < blocks - 1) {
        fnumber /= 2;
        ++block;
    }
    while (fnumber < limit / 2 - 0.5 && block > 0) {
        fnumber *= 2;
        --block;
    }
    const double rounded = std::clamp(std::round(fnumber), 1.0, limit - 1);
    return {static_cast<std::uint16_t>(rounded), static_cast<std::uint8_t>(block)};
}

} // namespace tavroplay
