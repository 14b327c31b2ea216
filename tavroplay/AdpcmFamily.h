// AdpcmFamily: the ADPCM voices of an MDX song (songs::ChipType::msm6258) as
// a song is played on them: no board has them, the software voices of a
// WAV rendering do (PcmVoices.h). Register map, as the song source writes
// it (songs/MdxSource.h) and two more for the player:
//   0x00 + track  start the sample whose index in the song's samples is the data
//   0x10 + track  the track's pan: 0 off, 1 left, 2 right, 3 both
//   0x20 + track  stop the track's sample (its key went off)
//   0x30          attenuation of every voice (the fade), in steps of the
//                 YM2151's total level (0.75 dB), so that the samples fade
//                 step by step with the FM
//   0x31          stop every voice (silence)
//   0x40 + track  the track's gain in 16ths (16-track songs; 16 before any)
// Starts are events, not state: restoring after a pause starts nothing.
#pragma once

#include <cstdint>

#include "tavroplay/ChipFamily.h"

namespace tavroplay {

class AdpcmFamily : public ChipFamily {
public:
    static constexpr std::uint16_t startBase = 0x00;
    static constexpr std::uint16_t panBase = 0x10;
    static constexpr std::uint16_t stopBase = 0x20;
    static constexpr std::uint16_t attenuationRegister = 0x30;
    static constexpr std::uint16_t stopRegister = 0x31;
    static constexpr std::uint16_t gainBase = 0x40;
    static constexpr std::uint16_t registerCount = 0x48;
    static constexpr unsigned trackCount = 8;
    static constexpr double attenuationStepDecibels = 0.75;
    static constexpr std::uint8_t mutedSteps = 0xFF;

    AdpcmFamily(double ratio, RegisterSink& sink);
    // '#' for each track that started a sample since the last look.
    std::string activity() const override;
    std::string_view meterName() const override { return "PCM"; }

protected:
    void noteWrite(std::uint16_t address, std::uint8_t data) override;
    void emit(std::uint16_t address, bool onlyChanges) override;
    void refreshLevels() override;
    void mute() override;
    bool restoredOtherwise(std::uint16_t address) const override;
    void restoreKeys() override;

private:
    mutable unsigned started_ = 0; // tracks started since the last activity()
};

} // namespace tavroplay
