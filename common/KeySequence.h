// KeySequence: turns the bytes a terminal sends for key presses into keys.
// Plain keys are their byte; the arrow keys come as escape sequences
// (ESC [ A..D, or ESC O A..D in the terminal's application mode) and become
// the named codes below; every other escape sequence (function keys such as
// F1 = ESC O P, Home, Delete = ESC [ 3 ~, Alt+key = ESC key) is read whole
// and gives nothing, so that none of its bytes acts as a key of its own.
//
//   KeySequence keys;
//   for (byte : input) if (int key = keys.feed(byte); key != KeySequence::none) act(key);
//
// A sequence is: ESC, then '[' with parameter bytes (0x30-0x3F),
// intermediate bytes (0x20-0x2F) and one final byte (0x40-0x7E); or '[[' and
// one byte (the Linux console's F1 to F5); or 'O' and one final byte; or any
// other single byte.
#pragma once

#include <cstdint>

class KeySequence {
public:
    static constexpr int none = -1;
    static constexpr int arrowUp = 0x101;
    static constexpr int arrowDown = 0x102;
    static constexpr int arrowRight = 0x103;
    static constexpr int arrowLeft = 0x104;
    // Not from the bytes: the job's stop asked for (Ctrl+Z), as
    // platform::readKey gives it.
    static constexpr int suspend = 0x110;

    // The key that this byte completes, or none.
    int feed(std::uint8_t byte);
    // Whether a sequence has begun and not ended.
    bool pending() const { return state_ != State::ground; }
    // Forgets a sequence begun (a lone Escape key).
    void reset() { state_ = State::ground; }

private:
    enum class State { ground, escape, controlSequence, singleShift };
    static int arrow(std::uint8_t final);

    State state_ = State::ground;
    bool plain_ = true; // no parameters so far: an arrow key if it ends now
};
