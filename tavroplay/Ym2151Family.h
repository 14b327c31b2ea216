// Ym2151Family: a YM2151 as a song is played on it (see ChipFamily.h and the
// register map in synth/Ym2151Registers.h): the key code and fraction
// corrected for another clock, the fade on the total levels of each
// connection's carriers, silence by keying off every channel.
#pragma once

#include <array>

#include "synth/Ym2151Registers.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

class Ym2151Family : public ChipFamily {
public:
    Ym2151Family(double ratio, RegisterSink& sink);
    std::string activity() const override;
    std::string_view meterName() const override { return "OPM"; }

protected:
    void noteWrite(std::uint16_t address, std::uint8_t data) override;
    void emit(std::uint16_t address, bool onlyChanges) override;
    void refreshLevels() override;
    void mute() override;
    bool restoredOtherwise(std::uint16_t address) const override;
    void restoreKeys() override;

private:
    using Registers = synth::Ym2151Registers;
    std::uint8_t level(std::uint16_t address) const;

    std::array<std::uint8_t, Registers::channelCount> keys_{}; // last key-on byte per channel
};

} // namespace tavroplay
