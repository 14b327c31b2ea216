// Key sequences of a terminal; see KeySequence.h.
#include "common/KeySequence.h"

namespace {
constexpr std::uint8_t escapeByte = 0x1B;
constexpr std::uint8_t controlSequenceIntroducer = '[';
constexpr std::uint8_t singleShiftThree = 'O';

bool isParameterOrIntermediate(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x3F;
}
bool isFinal(std::uint8_t byte) {
    return byte >= 0x40 && byte <= 0x7E;
}
} // namespace

int KeySequence::arrow(std::uint8_t final) {
    switch (final) {
    case 'A': return arrowUp;
    case 'B': return arrowDown;
    case 'C': return arrowRight;
    case 'D': return arrowLeft;
    default: return none;
    }
}

int KeySequence::feed(std::uint8_t byte) {
    switch (state_) {
    case State::ground:
        if (byte != escapeByte) return byte;
        state_ = State::escape;
        return none;
    case State::escape:
        if (byte == controlSequenceIntroducer) {
            state_ = State::controlSequence;
            plain_ = true;
        } else if (byte == singleShiftThree) {
            state_ = State::singleShift;
            plain_ = true;
        } else {
            state_ = State::ground; // Alt+key, or Escape twice
        }
        return none;
    case State::controlSequence:
        // The Linux console's F1 to F5: ESC [ [ A to E.
        if (plain_ && byte == controlSequenceIntroducer) {
            state_ = State::singleShift;
            plain_ = false;
            return none;
        }
        if (isParameterOrIntermediate(byte)) {
            plain_ = false;
            return none;
        }
        state_ = State::ground;
        // A byte that cannot belong to a sequence ends it; it is dropped too.
        return isFinal(byte) && plain_ ? arrow(byte) : none;
    case State::singleShift: state_ = State::ground; return plain_ ? arrow(byte) : none;
    }
    return none;
}
