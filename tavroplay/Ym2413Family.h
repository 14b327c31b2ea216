// Ym2413Family: a YM2413 as a song is played on it (see ChipFamily.h and the
// register map in synth/Ym2413Registers.h): F-numbers and blocks corrected
// for another clock, the fade on the channels' and drums' volumes, silence
// by keying off every channel and drum.
#pragma once

#include "synth/Ym2413Registers.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

class Ym2413Family : public ChipFamily {
public:
    Ym2413Family(double ratio, RegisterSink& sink);
    std::string activity() const override;
    std::string_view meterName() const override { return "OPLL"; }

protected:
    void emit(std::uint16_t address, bool onlyChanges) override;
    void refreshLevels() override;
    void mute() override;
    bool restoredOtherwise(std::uint16_t address) const override;
    void restoreKeys() override;

private:
    using Registers = synth::Ym2413Registers;
};

} // namespace tavroplay
