// How loud the mixer makes a YM2413 voice beside a YM2151 voice, measured with
// the fast reference emulator in ../shared/reference (it puts every chip it
// emulates on one scale): one full-volume sine voice of each, the same way on
// both chips (a sustained operator alone at its loudest, the other silent),
// their peaks compared. The mixer's shares must set the two voices that far
// apart (see BoardMixer.h); the comparison skips without the emulator.
#include "mixer/BoardMixer.h"

#include "tavro/SoundInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef TONRIG_MIXER_YMFM
#include "ymfm_opl.h"
#include "ymfm_opm.h"
#endif

namespace {

// A YM2151 voice at full volume is a quarter of its full scale, a YM2413 melody
// voice 255 of its 4590 steps (the chips' classes state the full scales).
constexpr double ym2151VoiceOfFullScale = 0.25;
constexpr double ym2413VoiceOfFullScale = 255.0 / 4590.0;
constexpr int settleFrames = 2000;
constexpr int measuredFrames = 20000;

#ifdef TONRIG_MIXER_YMFM
template <class Chip> void put(Chip& chip, int address, int data) {
    typename Chip::output_data out;
    chip.write(0, static_cast<std::uint8_t>(address));
    chip.write(1, static_cast<std::uint8_t>(data));
    for (int i = 0; i < 4; ++i)
        chip.generate(&out);
}

template <class Chip> int peak(Chip& chip) {
    int loudest = 0;
    for (int i = 0; i < settleFrames + measuredFrames; ++i) {
        typename Chip::output_data out;
        chip.generate(&out);
        if (i >= settleFrames) loudest = std::max(loudest, std::abs(out.data[0]));
    }
    return loudest;
}

// The user instrument's carrier alone (modulator at TL 63, attack 0), volume 0.
int opllVoicePeak() {
    ymfm::ymfm_interface host;
    ymfm::ym2413 chip(host);
    chip.reset();
    const int user[8] = {0x21, 0x21, 0x3f, 0x00, 0x00, 0xf0, 0x0f, 0x0f};
    for (int reg = 0; reg < 8; ++reg)
        put(chip, reg, user[reg]);
    put(chip, 0x10, 0x80);
    put(chip, 0x30, 0x00);
    put(chip, 0x20, 0x10 | 4 << 1);
    return peak(chip);
}

// Channel 0, connection 7, operator M1 alone at TL 0, both outputs.
int opmVoicePeak() {
    ymfm::ymfm_interface host;
    ymfm::ym2151 chip(host);
    chip.reset();
    put(chip, 0x20, 0xc7);
    put(chip, 0x28, 0x4a);
    for (int op = 0; op < 4; ++op) {
        put(chip, 0x40 + op * 8, 0x01);
        put(chip, 0x60 + op * 8, op == 0 ? 0 : 127);
        put(chip, 0x80 + op * 8, 31);
        put(chip, 0xe0 + op * 8, 0x0f);
    }
    put(chip, 0x08, 0x78);
    return peak(chip);
}
#endif

TEST(FamilyLevel, Ym2413VoiceSitsBelowYm2151VoiceAsTheFastEmulatorPutsIt) {
#ifndef TONRIG_MIXER_YMFM
    GTEST_SKIP() << "../shared/reference/ymfm is absent: the levels are not measured";
#else
    const double measuredDb = 20 * std::log10(double(opllVoicePeak()) / opmVoicePeak());
    const double ours =
        20 * std::log10(mixer::BoardMixer::fullScaleShare(tavro::chipTypeYm2413) *
                        ym2413VoiceOfFullScale /
                        (mixer::BoardMixer::fullScaleShare(tavro::chipTypeYm2151) *
                         ym2151VoiceOfFullScale));
    std::printf("[ levels ] YM2413 voice beside a YM2151 voice: %.2f dB (fast emulator), "
                "%.2f dB (mixer)\n",
                measuredDb, ours);
    EXPECT_NEAR(ours, measuredDb, 0.1);
#endif
}

} // namespace
