// OpnFamily: a chip of the OPN family (YM2203, YM2608, YM2612) as a song is
// played on it (see ChipFamily.h and the register map in
// synth/OpnRegisters.h): F-numbers and blocks corrected for another clock
// (the high byte goes out before the low byte, which the chip latches it
// with), the fade on the total levels of each algorithm's carriers and on the
// YM2608's rhythm and ADPCM levels, silence by keying off every channel,
// dumping the drums and stopping the ADPCM. The SSG part of the YM2203 and
// YM2608 is an SsgFamily on the same chip.
#pragma once

#include <array>
#include <optional>

#include "synth/OpnRegisters.h"
#include "tavroplay/ChipFamily.h"
#include "tavroplay/SsgFamily.h"

namespace tavroplay {

class OpnFamily : public ChipFamily {
public:
    enum class Model { ym2203, ym2608, ym2612 };

    OpnFamily(Model model, double ratio, RegisterSink& sink);

    void write(std::uint16_t address, std::uint8_t data) override;
    void setAttenuation(double decibels) override;
    void silence() override;
    void restore() override;
    std::string activity() const override;
    std::string_view meterName() const override;

protected:
    void noteWrite(std::uint16_t address, std::uint8_t data) override;
    void emit(std::uint16_t address, bool onlyChanges) override;
    void refreshLevels() override;
    void mute() override;
    bool restoredOtherwise(std::uint16_t address) const override;
    void restoreKeys() override;

private:
    using Registers = synth::OpnRegisters;
    std::uint8_t level(std::uint16_t address) const;
    static bool isFrequencyRegister(std::uint16_t address);
    void sendFrequency(std::uint16_t address, bool onlyChanges);
    unsigned channelCount() const;

    Model model_;
    std::optional<SsgFamily> ssg_;
    std::array<std::uint8_t, Registers::maximumChannelCount> keys_{};
    std::array<int, 2> latch_{-1, -1}; // high byte and its address last latched
};

} // namespace tavroplay
