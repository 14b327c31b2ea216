// The register headers shared by the chips, players and converters: fields
// read and written without touching their neighbours, and the bytes the
// chips' manuals give for common writes built from the named fields.
#include <gtest/gtest.h>

#include "synth/OpnRegisters.h"
#include "synth/SsgRegisters.h"
#include "synth/Ym2151Registers.h"
#include "synth/Ym2413Registers.h"

namespace synth {
namespace {

TEST(RegisterField, ReadsAndWritesOnlyItsBits) {
    using Fb = Ym2151Registers::feedbackField;
    EXPECT_EQ(Fb::with(0xC7, 5), 0xEF);
    EXPECT_EQ(Fb::of(0xEF), 5u);
    EXPECT_EQ(Fb::with(0xFF, 0), 0xC7);
    EXPECT_EQ(Fb::with(0x00, 9), 0x08) << "bits beyond the field are dropped";
    EXPECT_EQ(RegisterFlag<7>::make(1), 0x80);
}

TEST(Ym2151Registers, BuildsTheManualsBytesAndReadsFields) {
    // Every slot of channel 0 keyed on: 0x78; channel 5 keyed off: 0x05.
    EXPECT_EQ(Ym2151Registers::keyOnByte(0, Ym2151Registers::allSlots), 0x78);
    EXPECT_EQ(Ym2151Registers::keyOnByte(5, 0), 0x05);
    EXPECT_EQ(Ym2151Registers::keyOnBit(Ym2151Registers::c2), 0x8u);
    // C2 of channel 3 is slot 27: its total level at 0x7B.
    EXPECT_EQ(Ym2151Registers::totalLevelRegister(Ym2151Registers::slot(3, Ym2151Registers::c2)),
              0x7B);
    EXPECT_EQ(Ym2151Registers::operatorOfSlot(27), Ym2151Registers::c2);
    Ym2151Registers regs;
    regs.write(0x23, 0xFD); // L+R, FB 7, CON 5
    regs.write(0x2B, 0x4A); // A4
    regs.write(0x33, 0xFC);
    EXPECT_TRUE(regs.leftOn(3) && regs.rightOn(3));
    EXPECT_EQ(regs.feedback(3), 7u);
    EXPECT_EQ(regs.connection(3), 5u);
    EXPECT_EQ(regs.octave(3), 4u);
    EXPECT_EQ(regs.note(3), 0xAu);
    EXPECT_EQ(regs.keyFraction(3), 63u);
    // Connection 4: C1 and C2 sound; 7: all four.
    EXPECT_FALSE(Ym2151Registers::isCarrier(4, Ym2151Registers::m2));
    EXPECT_TRUE(Ym2151Registers::isCarrier(4, Ym2151Registers::c1));
    EXPECT_TRUE(Ym2151Registers::isCarrier(5, Ym2151Registers::m2));
    EXPECT_TRUE(Ym2151Registers::isCarrier(7, Ym2151Registers::m1));
    EXPECT_FALSE(Ym2151Registers::isCarrier(3, Ym2151Registers::c1));
}

TEST(OpnRegisters, AddressesBothPortsAndDecodesKeyOn) {
    // Channel 5 (the chips' channel 6) on the second port; S4's TL at 0x14E.
    EXPECT_EQ(OpnRegisters::slotRegister(OpnRegisters::totalLevelBase, 5, OpnRegisters::s4), 0x14E);
    EXPECT_EQ(OpnRegisters::channelOf(0x14E), 5u);
    EXPECT_EQ(OpnRegisters::operatorOf(0x14E), OpnRegisters::s4);
    EXPECT_EQ(OpnRegisters::channelRegister(OpnRegisters::blockHighBase, 4), 0x1A5);
    EXPECT_TRUE(OpnRegisters::isSlotRegister(0x142, OpnRegisters::totalLevelBase));
    EXPECT_FALSE(OpnRegisters::isSlotRegister(0x43, OpnRegisters::totalLevelBase));
    // All operators of channel 4 (code 5): 0xF5; code 3 names no channel.
    EXPECT_EQ(OpnRegisters::keyOnByte(4, OpnRegisters::allSlots), 0xF5);
    EXPECT_EQ(OpnRegisters::keyOnTarget(0xF5), 4);
    EXPECT_EQ(OpnRegisters::keyOnTarget(0xF3), -1);
    EXPECT_EQ(OpnRegisters::keyOnBit(OpnRegisters::s3), 0x4u) << "key-on order S1 S2 S3 S4";
    OpnRegisters regs;
    regs.write(0x1A5, 0x22); // block 4, F-number high 2
    regs.write(0x1A1, 0x6A);
    EXPECT_EQ(regs.block(4), 4u);
    EXPECT_EQ(regs.fNumber(4), 0x26Au);
    EXPECT_TRUE(OpnRegisters::isCarrier(4, OpnRegisters::s2));
    EXPECT_FALSE(OpnRegisters::isCarrier(4, OpnRegisters::s3));
}

TEST(SsgAndYm2413Registers, ReadPeriodsLevelsAndKeys) {
    SsgRegisters ssg;
    ssg.write(SsgRegisters::toneFine(2), 0xFD);
    ssg.write(SsgRegisters::toneCoarse(2), 0xF1); // coarse keeps 4 bits
    ssg.write(SsgRegisters::mixer, SsgRegisters::mixerWith(0xFF, 1, true, false));
    ssg.write(SsgRegisters::level(1), 0x1F);
    EXPECT_EQ(ssg.tonePeriod(2), 0x1FDu);
    EXPECT_FALSE(ssg.toneOff(1));
    EXPECT_TRUE(ssg.noiseOff(1));
    EXPECT_TRUE(ssg.toneOff(0));
    EXPECT_TRUE(ssg.envelopeMode(1));
    EXPECT_EQ(ssg.fixedLevel(1), 15u);
    EXPECT_EQ(SsgRegisters::channelOf(SsgRegisters::level(2)), 2u);
    EXPECT_EQ(SsgRegisters::channelOf(SsgRegisters::toneCoarse(1)), 1u);

    Ym2413Registers opll;
    opll.write(Ym2413Registers::keyBlock(8), 0x3B); // sustain, key, block 5, F8
    opll.write(Ym2413Registers::fNumberLow(8), 0x20);
    opll.write(Ym2413Registers::rhythm, 0x3F);
    EXPECT_TRUE(opll.keyOn(8) && opll.sustainOn(8));
    EXPECT_EQ(opll.block(8), 5u);
    EXPECT_EQ(opll.fNumber(8), 0x120u);
    EXPECT_TRUE(opll.rhythmMode());
    EXPECT_EQ(opll.rhythmKeys(), 0x1Fu);
}

} // namespace
} // namespace synth
