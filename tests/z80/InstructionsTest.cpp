// Loads, control flow, interrupt state, port I/O and block instructions.
#include "TestMachine.h"
#include "z80/FlagTables.h"

#include <gtest/gtest.h>

namespace {

using Access = TestMachine::PortAccess;

TEST(Ports, ImmediateFormsPutAInTheHighByte) {
    TestMachine m;
    m.setA(0x07);
    m.run({0xD3, 0x01}); // OUT (0x01),A
    EXPECT_EQ(m.outputs, (std::vector<Access>{{0x0701, 0x07}}));
    m.inputValue = 0x5A;
    m.setF(0xFF);
    m.run({0xDB, 0x04}); // IN A,(0x04)
    EXPECT_EQ(m.inputs, (std::vector<std::uint16_t>{0x0704}));
    EXPECT_EQ(m.a(), 0x5A);
    EXPECT_EQ(m.f(), 0xFF);
}

TEST(Ports, RegisterFormsUseTheWholeBcPair) {
    TestMachine m;
    m.BC = 0x1C07;
    m.setA(0x42);
    m.run({0xED, 0x79, 0xED, 0x71}); // OUT (C),A; OUT (C),0
    EXPECT_EQ(m.outputs, (std::vector<Access>{{0x1C07, 0x42}, {0x1C07, 0x00}}));
    m.inputValue = 0x00;
    m.setF(0xA9);
    m.run({0xED, 0x50}); // IN D,(C)
    EXPECT_EQ(m.inputs, (std::vector<std::uint16_t>{0x1C07}));
    EXPECT_EQ(m.DE >> 8, 0x00);
    EXPECT_EQ(m.f(), 0x45);
    m.inputValue = 0x80;
    m.run({0xED, 0x70}); // IN (C): flags only
    EXPECT_EQ(m.f(), 0x81);
    EXPECT_EQ(m.BC, 0x1C07);
}

TEST(BlockIo, OtirSendsWithTheDecrementedB) {
    TestMachine m;
    m.BC = 0x0200;
    m.HL = 0x2000;
    m.memory[0x2000] = 0xAA;
    m.memory[0x2001] = 0xBB;
    m.setF(0xFF);
    m.run({0xED, 0xB3});
    EXPECT_EQ(m.outputs, (std::vector<Access>{{0x0100, 0xAA}, {0x0000, 0xBB}}));
    EXPECT_EQ(m.BC, 0x0000);
    EXPECT_EQ(m.HL, 0x2002);
    EXPECT_EQ(m.f(), 0x42);
}

TEST(BlockIo, IniReadsWithTheOriginalB) {
    TestMachine m;
    m.BC = 0x0134;
    m.HL = 0x3000;
    m.inputValue = 0x77;
    m.setF(0x01);
    m.run({0xED, 0xA2});
    EXPECT_EQ(m.inputs, (std::vector<std::uint16_t>{0x0134}));
    EXPECT_EQ(m.memory[0x3000], 0x77);
    EXPECT_EQ(m.BC, 0x0034);
    EXPECT_EQ(m.f(), 0x42);
    m.BC = 0x0300;
    m.run({0xED, 0xBA}); // INDR: three passes downwards
    EXPECT_EQ(m.HL, 0x2FFE);
    EXPECT_EQ(m.f(), 0x42);
    m.BC = 0x0200;
    m.run({0xED, 0xAB}); // OUTD, B not yet 0
    EXPECT_EQ(m.f(), 0x02);
}

TEST(BlockMoves, LdirPassesAreChargedOneByOne) {
    TestMachine m;
    m.load(0x2000, {1, 2, 3});
    m.HL = 0x2000;
    m.DE = 0x3000;
    m.BC = 3;
    m.setF(0xFF);
    const auto cost = m.run({0xED, 0xB0});
    EXPECT_EQ(cost.cycles, 21u + 21u + 16u);
    EXPECT_EQ(cost.r, 6u);
    EXPECT_EQ(m.memory[0x3000], 1);
    EXPECT_EQ(m.memory[0x3002], 3);
    EXPECT_EQ(m.memory[0x3003], 0);
    EXPECT_EQ(m.HL, 0x2003);
    EXPECT_EQ(m.DE, 0x3003);
    EXPECT_EQ(m.f(), 0xE9); // H, P/V and N cleared
    m.BC = 2;
    m.run({0xED, 0xA8}); // LDD: P/V while BC is non-zero
    EXPECT_EQ(m.HL, 0x2002);
    EXPECT_EQ(m.DE, 0x3002);
    EXPECT_EQ(m.f(), 0xED);
}

TEST(BlockCompares, CpirStopsOnTheFirstMatchOrAtZero) {
    TestMachine m;
    m.load(0x2000, {5, 6, 7, 8});
    m.HL = 0x2000;
    m.BC = 4;
    m.setA(6);
    m.run({0xED, 0xB1});
    EXPECT_EQ(m.HL, 0x2002);
    EXPECT_EQ(m.BC, 2);
    EXPECT_EQ(m.f(), 0x46); // Z, P/V (BC still non-zero), N
    m.HL = 0x2000;
    m.BC = 4;
    m.setA(9);
    m.setF(0x01);
    m.run({0xED, 0xB1});
    EXPECT_EQ(m.HL, 0x2004);
    EXPECT_EQ(m.BC, 0);
    EXPECT_EQ(m.f() & (z80::flagZ | z80::flagPV | z80::flagC),
              z80::flagC); // no match, P/V clear, C kept
    m.HL = 0x2003;
    m.BC = 4;
    m.setA(5);
    m.run({0xED, 0xB9}); // CPDR finds the first byte last
    EXPECT_EQ(m.HL, 0x1FFF);
    EXPECT_EQ(m.BC, 0);
    EXPECT_EQ(m.f() & (z80::flagZ | z80::flagPV), z80::flagZ);
}

TEST(RefreshRegister, BitSevenComesFromTheLastLoad) {
    TestMachine m;
    m.setA(0x80);
    m.run({0xED, 0x4F, 0x00, 0x00, 0xED, 0x5F}); // LD R,A; NOP; NOP; LD A,R
    EXPECT_EQ(m.a(), 0x84);
    m.setA(0x7F);
    m.run({0xED, 0x4F, 0x00, 0xED, 0x5F});
    EXPECT_EQ(m.a(), 0x02);
    EXPECT_EQ(m.rBit7, 0x7F);
}

TEST(InterruptState, DiEiAndTheirFlags) {
    TestMachine m;
    m.I = 0x80;
    m.run({0xED, 0x57}); // LD A,I after construction: enabled
    EXPECT_EQ(m.a(), 0x80);
    EXPECT_EQ(m.f(), 0x84);
    m.run({0xF3, 0xED, 0x57}); // DI; LD A,I
    EXPECT_EQ(m.status, Z80Cpu::statusInterruptsDisabled);
    EXPECT_EQ(m.f(), 0x80);
    m.cycles = 100;
    m.run({0xFB, 0xED, 0x57}); // EI with budget left: nothing deferred
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.f() & z80::flagPV, z80::flagPV);
    EXPECT_EQ(m.deferredCycles, 0u);
    EXPECT_EQ(m.cycles, 100 - 4 - 9 - 10);
}

TEST(InterruptState, EiMovesAnExhaustedBudget) {
    TestMachine m;
    m.status = Z80Cpu::statusInterruptsDisabled;
    m.cycles = -20;
    m.run({0xFB}); // EI charged 4 first: budget -24
    EXPECT_EQ(m.deferredCycles, 25u);
    EXPECT_EQ(m.cycles, 1 - 10);
    m.cycles = 50;
    m.run({0xFB}); // already enabled: nothing happens
    EXPECT_EQ(m.cycles, 50 - 14);
    m.status = Z80Cpu::statusInterruptsDisabled;
    m.intRequest = 1;
    m.run({0xFB}); // pending request with the EI shadow clear
    EXPECT_EQ(m.cycles, 1 - 10);
    EXPECT_EQ(m.deferredCycles, 25u + 1u - 32u);
}

TEST(InterruptState, RetnClearsOnlyItsBitAndRetiIsPlain) {
    TestMachine m;
    m.status = Z80Cpu::statusInterruptsDisabled | Z80Cpu::statusEiShadow | Z80Cpu::statusHalted;
    m.load(0x1800, {0xED, 0x45});
    const auto cost = m.call(0x1800);
    EXPECT_EQ(m.status, Z80Cpu::statusInterruptsDisabled | Z80Cpu::statusHalted);
    EXPECT_EQ(cost.cycles, 14u);
    m.load(0x1800, {0xED, 0x4D});
    m.call(0x1800);
    EXPECT_EQ(m.status, Z80Cpu::statusInterruptsDisabled | Z80Cpu::statusHalted);
}

TEST(Halt, StaysOnTheOpcodeWithAnEmptyBudget) {
    TestMachine m;
    m.cycles = 1000;
    m.load(0x1800, {0x76, 0x3C}); // HALT; INC A
    m.requestStop();              // HALT never returns by itself
    m.call(0x1800);
    EXPECT_GT(m.readCount[0x1800], 1u);
    EXPECT_EQ(m.readCount[0x1801], 0u);
    EXPECT_EQ(m.status, Z80Cpu::statusHalted);
    EXPECT_EQ(m.cycles, 0);
    EXPECT_EQ(m.a(), 0);
    TestMachine n;
    n.load(0x1800, {0xDD, 0x76}); // DD HALT halts as HALT does
    n.requestStop();
    n.call(0x1800);
    EXPECT_EQ(n.status, Z80Cpu::statusHalted);
    EXPECT_GT(n.readCount[0x1801], 1u);
    EXPECT_EQ(n.readCount[0x1800], 1u);
}

TEST(ControlFlow, CallAndRstPushTheNextAddress) {
    TestMachine m;
    m.SP = 0x8000;
    m.load(0x1800, {0xCD, 0x00, 0x20});
    m.load(0x2000, {0xFF});             // RST 38H
    m.load(0x0038, {0xC3, 0xFF, 0xFF}); // JP 0xFFFF ends the run
    m.call(0x1800);
    EXPECT_EQ(m.SP, 0x7FFA);
    EXPECT_EQ(m.readWord(0x7FFC), 0x1803);
    EXPECT_EQ(m.readWord(0x7FFA), 0x2001);
}

TEST(ControlFlow, StackAndExchanges) {
    TestMachine m;
    m.SP = 0x8000;
    m.AF = 0x12FF;
    m.BC = 0x1111;
    m.run({0xF5, 0xC5, 0xF1, 0xC1}); // PUSH AF; PUSH BC; POP AF; POP BC
    EXPECT_EQ(m.AF, 0x1111);         // F loaded whole, bits 5 and 3 included
    EXPECT_EQ(m.BC, 0x12FF);
    m.HL = 0xAAAA;
    m.IX = 0x1234;
    m.writeWord(0x7000, 0x5678);
    m.run({0x31, 0x00, 0x70, 0xDD, 0xE3, 0x31, 0xFE, 0x7F}); // EX (SP),IX with SP = 0x7000
    EXPECT_EQ(m.IX, 0x5678);
    EXPECT_EQ(m.readWord(0x7000), 0x1234);
    m.afAlt = 0x0102;
    m.hlAlt = 0x0304;
    m.run({0x08, 0xD9}); // EX AF,AF'; EXX
    EXPECT_EQ(m.AF, 0x0102);
    EXPECT_EQ(m.HL, 0x0304);
    EXPECT_EQ(m.hlAlt, 0xAAAA);
    m.run({0x2A, 0x00, 0x70, 0xED, 0x5B, 0x00, 0x70}); // LD HL,(nn); LD DE,(nn)
    EXPECT_EQ(m.HL, 0x1234);
    EXPECT_EQ(m.DE, 0x1234);
}

TEST(Digits, RrdAndRld) {
    TestMachine m;
    m.HL = 0x5000;
    m.memory[0x5000] = 0x34;
    m.setA(0x12);
    m.setF(0x29);
    m.run({0xED, 0x67}); // RRD
    EXPECT_EQ(m.a(), 0x14);
    EXPECT_EQ(m.memory[0x5000], 0x23);
    EXPECT_EQ(m.f(), 0x05);
    m.run({0xED, 0x6F}); // RLD
    EXPECT_EQ(m.a(), 0x12);
    EXPECT_EQ(m.memory[0x5000], 0x34);
}

} // namespace
