// Decoding: prefixes and prefix chains, the CB and DD CB / FD CB decoders,
// costs charged per instruction and the counting of R.
#include "TestMachine.h"

#include <gtest/gtest.h>

namespace {

TEST(Prefixes, OnlyTheLastIndexPrefixApplies) {
    TestMachine m;
    const auto cost = m.run({0xDD, 0xDD, 0x21, 0x34, 0x12}); // DD DD LD IX,0x1234
    EXPECT_EQ(m.IX, 0x1234);
    EXPECT_EQ(m.HL, 0);
    EXPECT_EQ(cost.cycles, 14u);
    EXPECT_EQ(cost.r, 4u);
    m.run({0xDD, 0xFD, 0x21, 0x78, 0x56}); // DD FD LD IY,0x5678
    EXPECT_EQ(m.IY, 0x5678);
    EXPECT_EQ(m.IX, 0x1234);
}

TEST(Prefixes, IgnoredIndexPrefixRunsTheUnprefixedInstruction) {
    TestMachine m;
    auto cost = m.run({0xDD, 0x00}); // DD NOP
    EXPECT_EQ(cost.cycles, 4u);
    EXPECT_EQ(cost.r, 3u);
    m.DE = 0x1111;
    m.HL = 0x2222;
    m.IX = 0x3333;
    cost = m.run({0xDD, 0xEB}); // EX DE,HL is not an index instruction
    EXPECT_EQ(m.DE, 0x2222);
    EXPECT_EQ(m.HL, 0x1111);
    EXPECT_EQ(m.IX, 0x3333);
    EXPECT_EQ(cost.cycles, 4u);
    m.IY = 0x4444;
    cost = m.run({0xFD, 0xED, 0x4E}); // FD before ED is ignored
    EXPECT_EQ(cost.cycles, 8u);
    EXPECT_EQ(cost.r, 4u);
}

TEST(Prefixes, UnlistedEdPairsAreTwoByteNoOps) {
    TestMachine m;
    m.IM = 2;
    for (const std::uint8_t second : {0x00, 0x77, 0x7F, 0x80, 0xCB, 0xDD, 0xFD}) {
        const auto cost = m.run({0xED, second});
        EXPECT_EQ(cost.cycles, 0u) << int(second);
        EXPECT_EQ(cost.r, 2u) << int(second);
        EXPECT_EQ(m.IM, 2) << int(second);
    }
    m.run({0xED, 0xDD, 0x21, 0x34, 0x12}); // the DD is consumed by the ED pair
    EXPECT_EQ(m.HL, 0x1234);
    EXPECT_EQ(m.IX, 0);
    m.run({0xED, 0x4E});
    EXPECT_EQ(m.IM, 0);
    m.run({0xED, 0x76});
    EXPECT_EQ(m.IM, 1);
    m.run({0xED, 0x7E});
    EXPECT_EQ(m.IM, 2);
}

TEST(IndexForms, HalvesDisplacementsAndPlainHl) {
    TestMachine m;
    m.SP = 0xF000;
    m.IX = 0x8000;
    m.memory[0x7FFE] = 0x5A;
    m.run({0xDD, 0x66, 0xFE}); // LD H,(IX-2) loads H, not IXH
    EXPECT_EQ(m.HL, 0x5A00);
    EXPECT_EQ(m.IX, 0x8000);
    m.run({0xDD, 0x36, 0x03, 0x99}); // LD (IX+3),0x99: displacement, then operand
    EXPECT_EQ(m.memory[0x8003], 0x99);
    m.run({0xDD, 0x75, 0x04}); // LD (IX+4),L
    EXPECT_EQ(m.memory[0x8004], 0x00);
    m.run({0xDD, 0x26, 0x12, 0xDD, 0x2E, 0x34}); // LD IXH,0x12; LD IXL,0x34
    EXPECT_EQ(m.IX, 0x1234);
    auto cost = m.run({0xDD, 0x64});
    EXPECT_EQ(cost.cycles, 9u);
    cost = m.run({0xDD, 0x6D});
    EXPECT_EQ(cost.cycles, 9u);
    EXPECT_EQ(m.IX, 0x1234);
    m.run({0xDD, 0x65}); // LD IXH,IXL
    EXPECT_EQ(m.IX, 0x3434);
    m.IY = 0x0000;
    m.run({0xFD, 0x35, 0xFF}); // DEC (IY-1) wraps to 0xFFFF
    EXPECT_EQ(m.memory[0xFFFF], 0xFF);
    m.IY = 0xA0B0;
    m.setA(0x01);
    m.run({0xFD, 0x84}); // ADD A,IYH
    EXPECT_EQ(m.a(), 0xA1);
}

// The only writes of a run that writes nothing itself: the runner's push.
const std::vector<std::uint16_t> sentinelOnly = {0xFFFE, 0xFFFF};

TEST(BitOps, CbCostsAndOperands) {
    TestMachine m;
    m.HL = 0x4000;
    m.memory[0x4000] = 0x81;
    auto cost = m.run({0xCB, 0x46}); // BIT 0,(HL)
    EXPECT_EQ(cost.cycles, 12u);
    EXPECT_EQ(m.writes, sentinelOnly);
    cost = m.run({0xCB, 0x06}); // RLC (HL)
    EXPECT_EQ(cost.cycles, 15u);
    EXPECT_EQ(cost.r, 2u);
    EXPECT_EQ(m.memory[0x4000], 0x03);
    cost = m.run({0xCB, 0x00}); // RLC B
    EXPECT_EQ(cost.cycles, 8u);
    m.setA(0x00);
    m.run({0xCB, 0xFF}); // SET 7,A
    EXPECT_EQ(m.a(), 0x80);
    m.run({0xCB, 0xBE}); // RES 7,(HL)
    EXPECT_EQ(m.memory[0x4000], 0x03);
}

TEST(BitOps, IndexedFormsActOnMemoryOnly) {
    TestMachine m;
    m.IX = 0x8000;
    m.memory[0x8005] = 0x81;
    m.BC = 0x5555;
    auto cost = m.run({0xDD, 0xCB, 0x05, 0x06}); // RLC (IX+5)
    EXPECT_EQ(m.memory[0x8005], 0x03);
    EXPECT_EQ(cost.cycles, 23u);
    EXPECT_EQ(cost.r, 3u);
    cost = m.run({0xDD, 0xCB, 0x05, 0x00}); // the register code is ignored
    EXPECT_EQ(m.memory[0x8005], 0x06);
    EXPECT_EQ(m.BC, 0x5555);
    EXPECT_EQ(cost.cycles, 23u);
    m.writes.clear();
    cost = m.run({0xDD, 0xCB, 0xFF, 0x46}); // BIT 0,(IX-1)
    EXPECT_EQ(cost.cycles, 20u);
    EXPECT_EQ(m.writes, sentinelOnly);
    EXPECT_EQ(m.readCount[0x7FFF], 1u);
    m.IY = 0x9000;
    m.run({0xFD, 0xCB, 0x10, 0xC7}); // SET 0,(IY+16)
    EXPECT_EQ(m.memory[0x9010], 0x01);
}

TEST(Costs, ConditionalInstructionsChargeTheTakenPart) {
    TestMachine m;
    m.SP = 0xF000;
    m.setF(0x00);
    EXPECT_EQ(m.run({0x20, 0x00}).cycles, 12u); // JR NZ taken
    m.setF(0x40);
    EXPECT_EQ(m.run({0x20, 0x00}).cycles, 7u);
    EXPECT_EQ(m.run({0x18, 0x00}).cycles, 12u); // JR
    m.load(0x2000, {0xC9});
    EXPECT_EQ(m.run({0xCC, 0x00, 0x20}).cycles, 17u + 10u); // CALL Z taken, then RET
    m.setF(0x00);
    EXPECT_EQ(m.run({0xCC, 0x00, 0x20}).cycles, 10u);
    EXPECT_EQ(m.run({0xC2, 0x05, 0x10, 0x00, 0x00}).cycles, 10u); // JP NZ taken
    EXPECT_EQ(m.run({0xCA, 0x00, 0x00}).cycles, 10u);             // JP Z not taken
    m.setF(0x01);
    m.load(m.origin, {0xD8}); // RET C taken ends the routine at once
    EXPECT_EQ(m.call(m.origin).cycles, 11u);
    m.setF(0x00);
    EXPECT_EQ(m.run({0xD8}).cycles, 5u);
    m.BC = 0x0200;
    EXPECT_EQ(m.run({0x10, 0x00}).cycles, 13u); // DJNZ, B 2 -> 1
    EXPECT_EQ(m.run({0x10, 0x00}).cycles, 8u);  // DJNZ, B 1 -> 0
}

TEST(RefreshCounter, CountsOpcodeFetchesPerFamily) {
    TestMachine m;
    m.IX = 0x8000;
    EXPECT_EQ(m.run({0x00}).r, 1u);
    EXPECT_EQ(m.run({0x3E, 0x10}).r, 1u);             // operand bytes do not count
    EXPECT_EQ(m.run({0xCB, 0x00}).r, 2u);             // CB
    EXPECT_EQ(m.run({0xED, 0x44}).r, 2u);             // ED
    EXPECT_EQ(m.run({0xDD, 0x7E, 0x01}).r, 2u);       // DD with displacement
    EXPECT_EQ(m.run({0xFD, 0xCB, 0x01, 0x46}).r, 3u); // FD CB
    EXPECT_EQ(m.run({0xDD, 0x3E, 0x01}).r, 3u);       // ignored DD
    m.R = 0xFF;
    m.run({0x00});
    EXPECT_EQ(m.R, 0x01); // the whole byte wraps
}

} // namespace
