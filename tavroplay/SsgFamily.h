// SsgFamily: an SSG (YM2149, AY-3-8910, YMZ294, and the SSG part of the OPN
// chips) as a song is played on it (see ChipFamily.h and the register map in
// synth/SsgRegisters.h): tone, noise and envelope periods corrected for
// another clock, the fade on the channels' fixed levels, silence by muting
// every channel.
//
// A channel playing the envelope cannot be attenuated: the chip gives the
// envelope's level in full. While fading, such a channel keeps its envelope
// as long as the fixed level the fade would give is not quieter than the
// envelope sounds, and becomes that fixed level from then on, so the fade
// never makes it louder: the envelope sounds, for the shapes that end
// silent, as silence (it keeps the envelope until the fade mutes it); for
// those that end held at the top, as the top level; for the repeating ones,
// as their mean power, 9.7 dB under the top.
#pragma once

#include "synth/SsgRegisters.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

class SsgFamily : public ChipFamily {
public:
    SsgFamily(double ratio, RegisterSink& sink);
    std::string activity() const override;
    std::string_view meterName() const override { return "PSG"; }

    // The fixed level that sounds no louder than the envelope of a shape.
    static int envelopeEquivalentLevel(std::uint8_t shape);

protected:
    void emit(std::uint16_t address, bool onlyChanges) override;
    void refreshLevels() override;
    void mute() override;
    bool restoredOtherwise(std::uint16_t) const override { return false; }
    void restoreKeys() override {}

private:
    using Registers = synth::SsgRegisters;
    std::uint8_t level(std::uint16_t address) const;
    void sendPeriod(std::uint16_t address, std::uint16_t low, unsigned mask, unsigned maximum,
                    bool onlyChanges);
};

} // namespace tavroplay
