// The subroutine runner and the default bus operations.
#include "TestMachine.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(Construction, EverythingStartsAtZero) {
    Z80Cpu cpu;
    for (const std::uint16_t v : {cpu.BC, cpu.DE, cpu.HL, cpu.AF, cpu.IX, cpu.IY, cpu.PC, cpu.SP,
                                  cpu.afAlt, cpu.bcAlt, cpu.deAlt, cpu.hlAlt}) {
        EXPECT_EQ(v, 0);
    }
    EXPECT_EQ(cpu.I | cpu.IM | cpu.R | cpu.rBit7 | cpu.status, 0);
    EXPECT_EQ(cpu.intRequest | cpu.deferredCycles, 0u);
    EXPECT_EQ(cpu.cycles, 0);
    EXPECT_FALSE(cpu.stopRequested.load());
}

TEST(DefaultBus, ReadsAllOnesAndIgnoresWrites) {
    Z80Cpu cpu;
    EXPECT_EQ(cpu.readByte(0x1234), 0xFF);
    EXPECT_EQ(cpu.readWord(0xFFFF), 0xFFFF);
    EXPECT_EQ(cpu.portIn(0x0700), 0xFF);
    cpu.writeWord(0x1234, 0x0000);
    cpu.portOut(0x0700, 0x00);
    EXPECT_EQ(cpu.readByte(0x1234), 0xFF);
}

TEST(DefaultBus, WordsAreLittleEndianAndWrap) {
    TestMachine m;
    m.memory[0xFFFF] = 0x34;
    m.memory[0x0000] = 0x12;
    EXPECT_EQ(m.readWord(0xFFFF), 0x1234);
    m.writeWord(0xFFFF, 0xABCD);
    EXPECT_EQ(m.memory[0xFFFF], 0xCD);
    EXPECT_EQ(m.memory[0x0000], 0xAB);
    EXPECT_EQ(m.writes, (std::vector<std::uint16_t>{0xFFFF, 0x0000}));
}

TEST(CallSubroutine, PushesTheSentinelAndRestoresPc) {
    TestMachine m;
    m.load(0x1800, {0xC9});
    m.PC = 0x4321;
    const auto cost = m.call(0x1800);
    EXPECT_EQ(m.memory[0xFFFE], 0xFF);
    EXPECT_EQ(m.memory[0xFFFF], 0xFF);
    EXPECT_EQ(m.SP, 0);
    EXPECT_EQ(m.PC, 0x4321);
    EXPECT_EQ(cost.cycles, 10u);
    EXPECT_EQ(cost.r, 1u);
    EXPECT_EQ(m.cycles, -10);
}

TEST(CallSubroutine, ChargesEveryInstruction) {
    TestMachine m;
    m.load(0x1800, {0x3E, 0x05, 0xC9}); // LD A,5; RET
    auto cost = m.call(0x1800);
    EXPECT_EQ(m.a(), 5);
    EXPECT_EQ(cost.cycles, 17u);
    EXPECT_EQ(cost.r, 2u);
    m.load(0x1800, {0xCD, 0x04, 0x18, 0xC9, 0x3C, 0xC9}); // CALL 0x1804; RET; INC A; RET
    cost = m.call(0x1800);
    EXPECT_EQ(cost.cycles, 41u);
    EXPECT_EQ(cost.r, 4u);
    EXPECT_EQ(m.a(), 6);
}

TEST(CallSubroutine, EndsWhenAnyInstructionLeavesPcAtTheSentinel) {
    TestMachine m;
    m.SP = 0x8000;
    m.load(0x1800, {0xC3, 0xFF, 0xFF}); // JP 0xFFFF
    m.memory[0xFFFF] = 0x3C;            // INC A, never executed
    m.PC = 0x0042;
    m.call(0x1800);
    EXPECT_EQ(m.PC, 0x0042);
    EXPECT_EQ(m.SP, 0x7FFE); // not restored by the runner
    EXPECT_EQ(m.a(), 0);
    EXPECT_EQ(m.readCount[0xFFFF], 0u);
}

TEST(CallSubroutine, RunsAtLeastOneInstruction) {
    TestMachine m;
    m.SP = 0x8000;
    m.memory[0xFFFF] = 0x3C; // INC A at the sentinel address itself
    m.memory[0x0000] = 0xC9; // RET
    m.call(0xFFFF);
    EXPECT_EQ(m.a(), 0x01);
}

TEST(CallSubroutine, CycleBudgetWraps) {
    TestMachine m;
    m.cycles = std::numeric_limits<std::int32_t>::min() + 2;
    m.run({0x00});
    EXPECT_EQ(m.cycles, std::numeric_limits<std::int32_t>::max() - 11);
}

} // namespace
