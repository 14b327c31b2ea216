// Ctc: register writes and reads and the tick advance; see Ctc.h.
#include "player/Ctc.h"

std::uint32_t CtcChannel::step(std::uint32_t input) {
    if (count > input) {
        count -= input;
        return 0;
    }
    const std::uint32_t past = input - count;
    count = reload - past % reload;
    return past / reload + 1;
}

void Ctc::write(unsigned channel, std::uint8_t value) {
    CtcChannel& ch = channels[channel & 3];
    if ((ch.control & CtcChannel::timeConstantFollowsBit) != 0) {
        ch.timeConstant = value;
        const std::uint32_t periods = value == 0 ? 256u : value;
        if ((ch.control & CtcChannel::counterModeBit) != 0) {
            ch.shift = 0;
        } else {
            ch.shift = (ch.control & CtcChannel::prescaler256Bit) != 0 ? 8 : 4;
        }
        ch.control &=
            static_cast<std::uint8_t>(~(CtcChannel::resetBit | CtcChannel::timeConstantFollowsBit));
        ch.count = ch.reload = periods << ch.shift;
    } else if ((value & CtcChannel::controlWordBit) != 0) {
        ch.control = value;
    } else if ((channel & 3) == 0) {
        vector = value & vectorMask;
    }
}

std::uint8_t Ctc::read(unsigned channel) const {
    const CtcChannel& ch = channels[channel & 3];
    if ((channel & 3) != 3) return ch.timeConstant;
    return static_cast<std::uint8_t>(ch.count >> ch.shift);
}

std::uint8_t Ctc::advance() {
    std::uint8_t flags = 0;
    std::uint32_t channel0Zeros = 0;
    for (unsigned n = 0; n < channels.size(); ++n) {
        CtcChannel& ch = channels[n];
        if (ch.stopped()) continue;
        const bool chained = n == 3 && (ch.control & CtcChannel::counterModeBit) != 0;
        const std::uint32_t zeros = ch.step(chained ? channel0Zeros : clocksPerTick);
        if (n == 0) channel0Zeros = zeros;
        if (zeros != 0 && ch.interruptEnabled()) flags |= interruptFlag(n);
    }
    return flags;
}
