// The SN76489 on an SSG from the two chips' documented behaviour: the
// register file the bytes build, the SSG periods and levels a tone becomes,
// where the noise goes, and what is named as lost.
#include <gtest/gtest.h>

#include <cmath>

#include "convert/Sn76489ToSsg.h"
#include "convert/SsgLevels.h"

namespace convert {
namespace {

using Sn = synth::Sn76489Registers;
using Ssg = synth::SsgRegisters;

constexpr std::uint32_t snClock = 3579545;
constexpr std::uint32_t ssgClock = 2000000;

// The converter with the SSG registers it last wrote.
struct Converted {
    explicit Converted(Sn76489Setup setup = {snClock, 16, false})
        : convert(setup, ssgClock, [this](std::uint16_t address, std::uint8_t data) {
              ssg.write(address, data);
              ++writes;
          }) {}
    void tone(unsigned ch, unsigned period) {
        convert.write(Sn::latchByte(ch, false, period & 0xF));
        convert.write(Sn::dataByte(period >> 4));
    }
    void volume(unsigned ch, unsigned attenuation) {
        convert.write(Sn::latchByte(ch, true, attenuation));
    }
    void noise(bool white, unsigned rate) {
        convert.write(Sn::latchByte(Sn::noiseChannel, false, (white ? 4 : 0) | rate));
    }
    double ssgHz(unsigned ch) const { return ssgClock / (16.0 * ssg.tonePeriod(ch)); }

    Ssg ssg;
    int writes = 0;
    Sn76489ToSsg convert;
};

TEST(Sn76489Registers, LatchAndDataBytesBuildTheRegisters) {
    Sn regs;
    EXPECT_EQ(regs.write(0x8E), 0u); // tone 0, low bits 0xE
    regs.write(0x0F);                // high six bits
    EXPECT_EQ(regs.tonePeriod(0), 0xFEu);
    regs.write(0x83); // a new latch changes the low bits only
    EXPECT_EQ(regs.tonePeriod(0), 0xF3u);
    EXPECT_EQ(regs.write(0xD5), 5u); // tone 2 volume
    EXPECT_EQ(regs.attenuation(2), 5u);
    regs.write(0x09); // a data byte after a volume latch sets the volume
    EXPECT_EQ(regs.attenuation(2), 9u);
    EXPECT_EQ(regs.attenuation(0), Sn::silentAttenuation) << "volumes start silent";
    regs.write(0xE6);
    EXPECT_TRUE(regs.noiseWhite());
    EXPECT_EQ(regs.noiseRate(), 2u);
    regs.write(0x03); // a data byte after the noise latch
    EXPECT_FALSE(regs.noiseWhite());
    EXPECT_EQ(regs.noiseRate(), 3u);
    EXPECT_EQ(Sn::latchByte(3, true, 0xF), 0xFF);
}

TEST(Sn76489ToSsg, TonesKeepTheirFrequency) {
    Converted c;
    c.tone(0, 254); // 440.4 Hz
    c.tone(1, 1);
    c.tone(2, 1000); // 111.9 Hz
    c.volume(0, 0);
    EXPECT_EQ(c.ssg.tonePeriod(0), 284u);
    EXPECT_NEAR(c.ssgHz(0) / (snClock / 32.0 / 254), 1, 0.002);
    EXPECT_NEAR(c.ssgHz(2) / (snClock / 32.0 / 1000), 1, 0.001);
    EXPECT_EQ(c.ssg.tonePeriod(1), 1u) << "beyond the SSG's highest tone it plays its highest";
    EXPECT_FALSE(c.ssg.toneOff(0));
    EXPECT_TRUE(c.ssg.noiseOff(0));

    // Period 0 acts as 1, or as 1024 when the song says so.
    c.tone(0, 0);
    EXPECT_EQ(c.ssg.tonePeriod(0), 1u);
    Converted sega({snClock, 16, true});
    sega.tone(0, 0);
    sega.volume(0, 0);
    EXPECT_NEAR(sega.ssgHz(0) / (snClock / 32.0 / 1024), 1, 0.002);
}

TEST(Sn76489ToSsg, LevelsAreTheNearestInDecibels) {
    for (unsigned attenuation = 0; attenuation < Sn::silentAttenuation; ++attenuation) {
        const unsigned level = Sn76489ToSsg::ssgLevel(attenuation);
        EXPECT_LE(std::abs(ssgLevelDecibels(level) + 2.0 * attenuation), 1.0)
            << "attenuation " << attenuation << " on level " << level;
    }
    EXPECT_EQ(Sn76489ToSsg::ssgLevel(0), 15u);
    EXPECT_EQ(Sn76489ToSsg::ssgLevel(3), 13u); // 6 dB: two SSG steps
    EXPECT_EQ(Sn76489ToSsg::ssgLevel(Sn::silentAttenuation), 0u);

    Converted c;
    c.tone(1, 300);
    c.volume(1, 6);
    EXPECT_EQ(c.ssg.fixedLevel(1), 11u); // 12 dB
    c.volume(1, Sn::silentAttenuation);
    EXPECT_EQ(c.ssg.fixedLevel(1), 0u);
}

TEST(Sn76489ToSsg, NoiseTakesTheChannelOfASilentTone) {
    Converted c;
    c.noise(true, 0);
    c.volume(Sn::noiseChannel, 2);
    // Tone 2 silent: the noise on channel C, tone off, at the shift rate
    // clock / 512 = 6991 Hz, SSG period 2e6 / (16 x 6991) = 17.9.
    EXPECT_TRUE(c.ssg.toneOff(2));
    EXPECT_FALSE(c.ssg.noiseOff(2));
    EXPECT_EQ(c.ssg.noisePeriod(), 18u);
    EXPECT_EQ(c.ssg.fixedLevel(2), Sn76489ToSsg::ssgLevel(2));

    // Tone 2 sounds: the noise moves to channel B, whose tone is silent.
    c.tone(2, 400);
    c.volume(2, 0);
    EXPECT_FALSE(c.ssg.toneOff(2));
    EXPECT_TRUE(c.ssg.noiseOff(2));
    EXPECT_FALSE(c.ssg.noiseOff(1));
    EXPECT_EQ(c.ssg.fixedLevel(1), Sn76489ToSsg::ssgLevel(2));

    // Every tone sounds: a quieter noise is left out, a louder one replaces tone 2.
    c.volume(0, 0);
    c.volume(1, 0);
    EXPECT_TRUE(c.ssg.noiseOff(0) && c.ssg.noiseOff(1) && c.ssg.noiseOff(2));
    c.volume(2, 8);
    EXPECT_FALSE(c.ssg.noiseOff(2));
    EXPECT_TRUE(c.ssg.toneOff(2));
    EXPECT_EQ(c.ssg.fixedLevel(2), Sn76489ToSsg::ssgLevel(2));

    // Rate 3 shifts with tone 2 (clock / (16 x period)); the slowest the SSG
    // has is 31.
    c.volume(2, Sn::silentAttenuation);
    c.tone(2, 20);
    c.noise(true, 3);
    EXPECT_EQ(c.ssg.noisePeriod(), static_cast<unsigned>(std::lround(ssgClock * 20.0 / snClock)));
    c.noise(true, 2);
    EXPECT_EQ(c.ssg.noisePeriod(), Ssg::maximumNoisePeriod);
}

TEST(Sn76489ToSsg, PeriodicNoiseIsAToneAtItsPitch) {
    // Sega: one pulse per 16 shifts; TI: per 15.
    for (const unsigned width : {16u, 15u}) {
        Converted c({snClock, width, false});
        c.noise(false, 1);
        c.volume(Sn::noiseChannel, 0);
        EXPECT_FALSE(c.ssg.toneOff(2));
        EXPECT_TRUE(c.ssg.noiseOff(2));
        const double pitch = snClock / 1024.0 / width;
        EXPECT_NEAR(c.ssgHz(2) / pitch, 1, 0.002) << "width " << width;
        c.tone(2, 100);
        c.noise(false, 3);
        EXPECT_NEAR(c.ssgHz(2) / (snClock / 16.0 / 100 / width), 1, 0.005) << "width " << width;
    }
}

TEST(Sn76489ToSsg, WritesOnlyWhatChangesAndNamesTheStereoLoss) {
    Converted c;
    c.tone(0, 254);
    const int first = c.writes;
    c.tone(0, 254);
    EXPECT_EQ(c.writes, first) << "the same period again sends nothing";
    c.volume(0, 1);
    EXPECT_EQ(c.writes, first + 1);

    EXPECT_EQ(c.convert.losses(), "");
    c.convert.writeStereo(Sn76489ToSsg::stereoAllOn);
    EXPECT_EQ(c.convert.losses(), "") << "both sides on loses nothing";
    c.convert.writeStereo(0xF0);
    EXPECT_EQ(c.convert.losses(), "Game Gear stereo dropped");
    EXPECT_EQ(c.writes, first + 1) << "the stereo byte sends nothing";
}

} // namespace
} // namespace convert
