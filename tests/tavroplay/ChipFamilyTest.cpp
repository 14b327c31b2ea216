// Chip families: the fade raises the attenuation of the sounding operators
// and channels only and never makes a channel louder, silence keys
// everything off and mutes it, and restoring brings back every register the
// song set, keys last; the OPN's frequency pairs go out high byte first.
#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "tavroplay/SsgFamily.h"

namespace {

using songs::ChipType;
using tavroplay::ChipFamily;
using tavroplay::makeFamily;

TEST(ChipFamilyFade, RaisesOnlyTheCarriersOfEachYm2151Algorithm) {
    RecordingSink sink;
    auto chipOwner = makeFamily(ChipType::ym2151, 1.0, sink);
    ChipFamily& chip = *chipOwner;
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

TEST(ChipFamilyFade, LowersPsgAndYm2413Volumes) {
    RecordingSink psgSink;
    auto psgOwner = makeFamily(ChipType::ssg, 1.0, psgSink);
    ChipFamily& psg = *psgOwner;
    psg.write(0x08, 0x0F);
    psg.write(0x09, 0x03);
    psg.write(0x0A, 0x10);   // envelope
    psg.setAttenuation(9.0); // 3 steps of 3 dB
    EXPECT_EQ(psgSink.state[0x08], 0x0C);
    EXPECT_EQ(psgSink.state[0x09], 0x00);
    // The envelope (shape 0: one fall, then silence) stays: any fixed level
    // would be louder than its silence.
    EXPECT_EQ(psgSink.state[0x0A], 0x10);

    RecordingSink opllSink;
    auto opllOwner = makeFamily(ChipType::ym2413, 1.0, opllSink);
    ChipFamily& opll = *opllOwner;
    opll.write(0x30, 0x52); // instrument 5, volume 2
    opll.write(0x36, 0x23);
    opll.setAttenuation(6.0);
    EXPECT_EQ(opllSink.state[0x30], 0x54);
    EXPECT_EQ(opllSink.state[0x36], 0x25); // instrument nibble kept
    opll.write(0x0E, 0x20);                // rhythm mode: both nibbles are drum volumes
    EXPECT_EQ(opllSink.state[0x36], 0x45);
}

TEST(ChipFamilySilence, KeysOffMutesAndRestoresEveryRegister) {
    RecordingSink sink;
    auto chipOwner = makeFamily(ChipType::ym2151, 1.0, sink);
    ChipFamily& chip = *chipOwner;
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

TEST(ChipFamilySilence, Ym2413AndOpnChipsKeyOffEveryChannel) {
    RecordingSink opllSink;
    auto opllOwner = makeFamily(ChipType::ym2413, 1.0, opllSink);
    ChipFamily& opll = *opllOwner;
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
    auto opnaOwner = makeFamily(ChipType::ym2608, 1.0, opnaSink);
    ChipFamily& opna = *opnaOwner;
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

TEST(ChipFamilyFade, AnSsgChannelOnTheEnvelopeNeverGetsLouder) {
    // The fixed level that sounds no louder than each shape: silence for the
    // shapes that end silent, the top for those held there, the mean power
    // (9.7 dB, four steps under the top) for the repeating ones.
    for (std::uint8_t shape = 0; shape < 16; ++shape) {
        const bool endsSilent = shape < 8 || shape == 0x09 || shape == 0x0F;
        const bool heldAtTop = shape == 0x0B || shape == 0x0D;
        const int expected = endsSilent ? 0 : heldAtTop ? 15 : 11;
        EXPECT_EQ(tavroplay::SsgFamily::envelopeEquivalentLevel(shape), expected) << int(shape);
    }
    for (std::uint8_t shape : {0x00, 0x08, 0x0D}) {
        RecordingSink sink;
        auto psgOwner = makeFamily(ChipType::ssg, 1.0, sink);
        ChipFamily& psg = *psgOwner;
        psg.write(0x0D, shape);
        psg.write(0x08, 0x10);
        const int equivalent = tavroplay::SsgFamily::envelopeEquivalentLevel(shape);
        int last = 16; // louder than any fixed level: the envelope itself
        for (double decibels = 0; decibels <= 60; decibels += 0.5) {
            psg.setAttenuation(decibels);
            const std::uint8_t sent = sink.state[0x08];
            // Either the envelope as the song has it, or a fixed level no
            // louder than it sounds, and never rising as the fade deepens.
            const int level = sent & 0x10 ? 16 : sent;
            if (level != 16) {
                EXPECT_LE(level, equivalent) << int(shape) << " at " << decibels;
            }
            EXPECT_LE(level, last) << int(shape) << " at " << decibels;
            last = level;
        }
        EXPECT_EQ(sink.state[0x08], 0) << "60 dB down mutes it";
        // A new shape under the fade is judged again.
        psg.setAttenuation(6.0);
        psg.write(0x0D, 0x0D);
        EXPECT_EQ(sink.state[0x08], 13) << "held at the top: the top, two steps down";
    }
}

TEST(ChipFamilyClock, OpnFrequencyPairsGoOutHighByteFirst) {
    RecordingSink sink;
    auto opnOwner = makeFamily(ChipType::ym2203, 3993600.0 / 4000000.0, sink);
    ChipFamily& opn = *opnOwner;
    opn.write(0xA4, 0x22); // block 4, F-number high 2: held until the low byte
    opn.write(0xA0, 0x6A);
    // The low byte right after its high byte as corrected with it (again
    // when the low byte changed the correction).
    const auto low = std::find_if(sink.writes.begin(), sink.writes.end(),
                                  [](const SentWrite& write) { return write.address == 0xA0; });
    ASSERT_NE(low, sink.writes.end());
    ASSERT_NE(low, sink.writes.begin());
    EXPECT_EQ((low - 1)->address, 0xA4);
    EXPECT_EQ(sink.state[0xA4], (low - 1)->data);
    EXPECT_NE(low->data, 0x6A) << "the F-number is corrected for the clock";
    // A second channel's pair takes the latch: restoring the first sends its
    // high byte again before its low byte.
    opn.write(0xA5, 0x1A);
    opn.write(0xA1, 0x10);
    sink.writes.clear();
    opn.silence();
    opn.restore();
    std::vector<std::uint16_t> order;
    for (const SentWrite& write : sink.writes)
        if ((write.address & 0xF8) == 0xA0) order.push_back(write.address);
    EXPECT_EQ(order, (std::vector<std::uint16_t>{0xA4, 0xA0, 0xA5, 0xA1}));
}

} // namespace
