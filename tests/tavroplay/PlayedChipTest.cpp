// Played chips: the fade raises the attenuation of the sounding operators
// and channels only, silence keys everything off and mutes it, and restoring
// brings back every register the file set, keys last.
#include <gtest/gtest.h>

#include "RecordingSink.h"

namespace {

using tavroplay::PlayedChip;
using vgm::VgmChip;

TEST(PlayedChipFade, RaisesOnlyTheCarriersOfEachYm2151Algorithm) {
    RecordingSink sink;
    PlayedChip chip(VgmChip::ym2151, 1.0, sink);
    // Channel 0 algorithm 4 (carriers C1 and C2), channel 1 algorithm 7 (all four).
    chip.write(0x20, 0xC4);
    chip.write(0x21, 0xC7);
    for (int op = 0; op < 4; ++op) {
        chip.write(static_cast<std::uint16_t>(0x60 + 8 * op), 0x10);
        chip.write(static_cast<std::uint16_t>(0x61 + 8 * op), 0x10);
    }
    chip.setAttenuation(6.0);          // 8 steps of 0.75 dB
    EXPECT_EQ(sink.state[0x60], 0x10); // M1
    EXPECT_EQ(sink.state[0x68], 0x10); // M2
    EXPECT_EQ(sink.state[0x70], 0x18); // C1
    EXPECT_EQ(sink.state[0x78], 0x18); // C2
    for (int op = 0; op < 4; ++op)
        EXPECT_EQ(sink.state[static_cast<std::uint16_t>(0x61 + 8 * op)], 0x18);
    // A level written while fading is attenuated as well; the most is 0x7F.
    chip.write(0x78, 0x7C);
    EXPECT_EQ(sink.state[0x78], 0x7F);
    // A new algorithm moves the attenuation to its carriers.
    chip.write(0x20, 0xC7);
    EXPECT_EQ(sink.state[0x60], 0x18);
    chip.setAttenuation(0);
    EXPECT_EQ(sink.state[0x60], 0x10);
    EXPECT_EQ(sink.state[0x78], 0x7C);
}

TEST(PlayedChipFade, LowersPsgAndYm2413Volumes) {
    RecordingSink psgSink;
    PlayedChip psg(VgmChip::ay8910, 1.0, psgSink);
    psg.write(0x08, 0x0F);
    psg.write(0x09, 0x03);
    psg.write(0x0A, 0x10);   // envelope
    psg.setAttenuation(9.0); // 3 steps of 3 dB
    EXPECT_EQ(psgSink.state[0x08], 0x0C);
    EXPECT_EQ(psgSink.state[0x09], 0x00);
    EXPECT_EQ(psgSink.state[0x0A], 0x0C); // the envelope becomes a fixed level

    RecordingSink opllSink;
    PlayedChip opll(VgmChip::ym2413, 1.0, opllSink);
    opll.write(0x30, 0x52); // instrument 5, volume 2
    opll.write(0x36, 0x23);
    opll.setAttenuation(6.0);
    EXPECT_EQ(opllSink.state[0x30], 0x54);
    EXPECT_EQ(opllSink.state[0x36], 0x25); // instrument nibble kept
    opll.write(0x0E, 0x20);                // rhythm mode: both nibbles are drum volumes
    EXPECT_EQ(opllSink.state[0x36], 0x45);
}

TEST(PlayedChipSilence, KeysOffMutesAndRestoresEveryRegister) {
    RecordingSink sink;
    PlayedChip chip(VgmChip::ym2151, 1.0, sink);
    chip.write(0x20, 0xC7);
    chip.write(0x28, 0x4A);
    chip.write(0x60, 0x05);
    chip.write(0x08, 0x78); // channel 0 on
    chip.write(0x08, 0x7B); // channel 3 on
    EXPECT_EQ(chip.activity(), "#..#....");
    sink.writes.clear();
    chip.silence();
    for (std::uint8_t ch = 0; ch < 8; ++ch)
        EXPECT_NE(std::find(sink.writes.begin(), sink.writes.end(), SentWrite{0x08, ch}),
                  sink.writes.end());
    EXPECT_EQ(sink.state[0x60], 0x7F);
    EXPECT_EQ(chip.activity(), "........");

    // Writes while silent are kept, not sent.
    sink.writes.clear();
    chip.write(0x28, 0x5A);
    chip.write(0x08, 0x01); // channel 1 off
    EXPECT_TRUE(sink.writes.empty());

    chip.restore();
    EXPECT_EQ(sink.state[0x20], 0xC7);
    EXPECT_EQ(sink.state[0x28], 0x5A);
    EXPECT_EQ(sink.state[0x60], 0x05);
    // The keys go last, each channel as the file left it.
    ASSERT_GE(sink.writes.size(), 8u);
    const std::vector<SentWrite> keys(sink.writes.end() - 8, sink.writes.end());
    EXPECT_EQ(keys, (std::vector<SentWrite>{{0x08, 0x78},
                                            {0x08, 0x01},
                                            {0x08, 0x02},
                                            {0x08, 0x7B},
                                            {0x08, 0x04},
                                            {0x08, 0x05},
                                            {0x08, 0x06},
                                            {0x08, 0x07}}));
    EXPECT_EQ(chip.activity(), "#..#....");
}

TEST(PlayedChipSilence, Ym2413AndOpnChipsKeyOffEveryChannel) {
    RecordingSink opllSink;
    PlayedChip opll(VgmChip::ym2413, 1.0, opllSink);
    opll.write(0x10, 0xAB);
    opll.write(0x23, 0x3D); // sustain, key on, block 6, F-number bit 8
    opll.write(0x33, 0x41);
    opll.write(0x0E, 0x3F); // rhythm mode, every drum on
    EXPECT_EQ(opll.activity(), "...#.. #####");
    opll.silence();
    EXPECT_EQ(opllSink.state[0x23], 0x2D);
    EXPECT_EQ(opllSink.state[0x0E], 0x20);
    EXPECT_EQ(opllSink.state[0x33], 0x4F);
    opll.restore();
    EXPECT_EQ(opllSink.state[0x23], 0x3D);
    EXPECT_EQ(opllSink.state[0x0E], 0x3F);
    EXPECT_EQ(opllSink.state[0x33], 0x41);

    RecordingSink opnaSink;
    PlayedChip opna(VgmChip::ym2608, 1.0, opnaSink);
    opna.write(0x28, 0xF5); // channel 5 on (port 1, channel 1)
    opna.write(0x08, 0x0F);
    opna.write(0x07, 0x3E); // SSG tone A only
    EXPECT_EQ(opna.activity(), "....#. #..");
    opna.silence();
    EXPECT_EQ(opnaSink.state[0x08], 0x00);
    std::vector<std::uint8_t> keyOffs;
    for (const SentWrite& write : opnaSink.writes)
        if (write.address == 0x28 && write.data != 0xF5) keyOffs.push_back(write.data);
    std::sort(keyOffs.begin(), keyOffs.end());
    EXPECT_EQ(keyOffs, (std::vector<std::uint8_t>{0, 1, 2, 4, 5, 6}));
    opna.restore();
    EXPECT_EQ(opnaSink.state[0x28], 0x06); // last key write: channel 6 as it was (off)
    EXPECT_EQ(opnaSink.state[0x08], 0x0F);
}

} // namespace
