// Flag tables and the arithmetic, logic, rotate and bit-test operations, run
// as instructions on the test machine.
#include "TestMachine.h"
#include "z80/FlagTables.h"

#include <gtest/gtest.h>

namespace {

// Runs one instruction with A, B and F preset; returns the machine.
struct Alu : TestMachine {
    Alu& with(std::uint8_t a, std::uint8_t b, std::uint8_t f = 0) {
        setA(a);
        BC = static_cast<std::uint16_t>(b << 8);
        setF(f);
        return *this;
    }
    Alu& exec(std::initializer_list<std::uint8_t> code) {
        run(code);
        return *this;
    }
};

TEST(FlagTables, HoldSignZeroParityAndNeverBits3And5) {
    Z80Cpu cpu;
    EXPECT_EQ(z80::szpFlags[0x00], 0x44);
    EXPECT_EQ(z80::szpFlags[0xFF], 0x84);
    EXPECT_EQ(z80::szpFlags[0x01], 0x00);
    EXPECT_EQ(z80::szpFlags[0x03], 0x04);
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(z80::szFlags[v], z80::szpFlags[v] & 0xFB) << v;
        EXPECT_EQ(z80::szFlags[256 + v], z80::szFlags[v] | 0x01) << v;
        EXPECT_EQ(z80::szcFlags[v], z80::szFlags[256 + v]);
        for (const std::uint8_t entry : {z80::szpFlags[v], z80::szFlags[v], z80::szcFlags[v],
                                         z80::incFlags[v], z80::decFlags[v]}) {
            EXPECT_EQ(entry & 0x28, 0) << v;
        }
    }
}

TEST(FlagTables, SecondConstructionChangesNothing) {
    Z80Cpu first;
    z80::incFlags[0x10] ^= 0x80; // a rebuild would put the entry back
    Z80Cpu second;
    EXPECT_EQ(z80::incFlags[0x10], 0x80);
    z80::incFlags[0x10] ^= 0x80;
}

TEST(IncDec, KeepOnlyCarry) {
    Alu m;
    EXPECT_EQ(m.with(0, 0xFF, 0x01).exec({0x04}).b(), 0x00); // INC B
    EXPECT_EQ(m.f(), 0x51);
    EXPECT_EQ(m.with(0, 0x7F).exec({0x04}).b(), 0x80);
    EXPECT_EQ(m.f(), 0x94);
    EXPECT_EQ(m.with(0, 0x01, 0x01).exec({0x05}).b(), 0x00); // DEC B
    EXPECT_EQ(m.f(), 0x43);
    EXPECT_EQ(m.with(0, 0x80).exec({0x05}).b(), 0x7F);
    EXPECT_EQ(m.f(), 0x16);
    EXPECT_EQ(m.with(0, 0x00).exec({0x05}).b(), 0xFF);
    EXPECT_EQ(m.f(), 0x92);
    m.HL = 0x4000;
    m.memory[0x4000] = 0x0F;
    m.with(0, 0, 0xFF).exec({0x34}); // INC (HL)
    EXPECT_EQ(m.memory[0x4000], 0x10);
    EXPECT_EQ(m.f(), 0x11);
}

TEST(Arithmetic, AddSubtractCompareAndNegate) {
    Alu m;
    EXPECT_EQ(m.with(0x7F, 0x01).exec({0x80}).a(), 0x80); // ADD A,B
    EXPECT_EQ(m.f(), 0x94);
    EXPECT_EQ(m.with(0xFF, 0x01).exec({0x80}).a(), 0x00);
    EXPECT_EQ(m.f(), 0x51);
    EXPECT_EQ(m.with(0x00, 0x01).exec({0x90}).a(), 0xFF); // SUB B
    EXPECT_EQ(m.f(), 0x93);
    EXPECT_EQ(m.with(0x80, 0x01).exec({0xB8}).a(), 0x80); // CP B
    EXPECT_EQ(m.f(), 0x16);
    EXPECT_EQ(m.with(0x10, 0x0F, 0x01).exec({0x88}).a(), 0x20); // ADC A,B with carry
    EXPECT_EQ(m.f(), 0x10);
    EXPECT_EQ(m.with(0x00, 0x00, 0x01).exec({0x98}).a(), 0xFF); // SBC A,B with borrow
    EXPECT_EQ(m.f(), 0x93);
    EXPECT_EQ(m.with(0x80, 0).exec({0xED, 0x44}).a(), 0x80); // NEG
    EXPECT_EQ(m.f(), 0x87);
    EXPECT_EQ(m.with(0x00, 0).exec({0xED, 0x44}).a(), 0x00);
    EXPECT_EQ(m.f(), 0x42);
}

TEST(Arithmetic, OperandAIsItself) {
    Alu m;
    EXPECT_EQ(m.with(0x48, 0).exec({0x87}).a(), 0x90); // ADD A,A: V from bits 6/7, H from bit 3
    EXPECT_EQ(m.f(), 0x94);
    EXPECT_EQ(m.with(0x55, 0, 0xFF).exec({0x97}).a(), 0x00); // SUB A
    EXPECT_EQ(m.f(), 0x42);
    EXPECT_EQ(m.with(0x55, 0, 0x01).exec({0x9F}).a(), 0xFF); // SBC A,A with carry
    EXPECT_EQ(m.f(), 0x93);
    EXPECT_EQ(m.with(0x55, 0).exec({0xBF}).a(), 0x55); // CP A
    EXPECT_EQ(m.f(), 0x42);
    EXPECT_EQ(m.with(0x55, 0, 0xFF).exec({0xAF}).a(), 0x00); // XOR A
    EXPECT_EQ(m.f(), 0x44);
}

TEST(Rotates, AccumulatorFormsKeepBits3And5) {
    Alu m;
    EXPECT_EQ(m.with(0x81, 0, 0xFF).exec({0x07}).a(), 0x03); // RLCA
    EXPECT_EQ(m.f(), 0xED);
    EXPECT_EQ(m.with(0x01, 0, 0x28).exec({0x0F}).a(), 0x80); // RRCA
    EXPECT_EQ(m.f(), 0x29);
    EXPECT_EQ(m.with(0x80, 0, 0x00).exec({0x17}).a(), 0x00); // RLA
    EXPECT_EQ(m.f(), 0x01);
    EXPECT_EQ(m.with(0x00, 0, 0x01).exec({0x1F}).a(), 0x80); // RRA
    EXPECT_EQ(m.f(), 0x00);
    EXPECT_EQ(m.with(0x80, 0x01, 0xFF).exec({0x80}).f() & 0x28, 0); // ADD A,B clears them
}

TEST(Rotates, CbShiftsSetParityAndCarry) {
    Alu m;
    const std::pair<std::uint8_t, std::uint8_t> expected[8] = {
        {0x03, 0x05}, {0xC0, 0x85}, {0x02, 0x01}, {0x40, 0x01},
        {0x02, 0x01}, {0xC0, 0x85}, {0x03, 0x05}, {0x40, 0x01}};
    for (std::uint8_t y = 0; y < 8; ++y) {
        m.with(0, 0x81, 0x28).exec({0xCB, static_cast<std::uint8_t>(y << 3)});
        EXPECT_EQ(m.b(), expected[y].first) << int(y);
        EXPECT_EQ(m.f(), expected[y].second) << int(y);
    }
}

TEST(Complement, CplScfCcf) {
    Alu m;
    EXPECT_EQ(m.with(0x5A, 0, 0x28).exec({0x2F}).a(), 0xA5); // CPL
    EXPECT_EQ(m.f(), 0x3A);
    EXPECT_EQ(m.with(0, 0, 0xFE).exec({0x37}).f(), 0xED); // SCF
    EXPECT_EQ(m.with(0, 0, 0x01).exec({0x3F}).f(), 0x10); // CCF: H from old C
    EXPECT_EQ(m.with(0, 0, 0x12).exec({0x3F}).f(), 0x01);
}

TEST(BitTest, SignOnlyForBit7AndNoParity) {
    Alu m;
    EXPECT_EQ(m.with(0, 0x80, 0x01).exec({0xCB, 0x78}).f(), 0x91); // BIT 7,B
    EXPECT_EQ(m.with(0, 0x00, 0x00).exec({0xCB, 0x40}).f(), 0x50); // BIT 0,B
    EXPECT_EQ(m.with(0, 0xFF, 0xFE).exec({0xCB, 0x68}).f(), 0x10); // BIT 5,B
}

TEST(Arithmetic16, AddAdcSbc) {
    Alu m;
    m.HL = 0x0FFF;
    m.BC = 0x0001;
    m.setF(0xC4);
    m.run({0x09}); // ADD HL,BC
    EXPECT_EQ(m.HL, 0x1000);
    EXPECT_EQ(m.f(), 0xD4);
    m.HL = 0xFFFF;
    m.setF(0x00);
    m.run({0x09});
    EXPECT_EQ(m.HL, 0x0000);
    EXPECT_EQ(m.f(), 0x11); // carry and half carry; Z left as it was
    m.HL = 0x7FFF;
    m.BC = 0x0000;
    m.setF(0x01);
    m.run({0xED, 0x4A}); // ADC HL,BC
    EXPECT_EQ(m.HL, 0x8000);
    EXPECT_EQ(m.f(), 0x94);
    m.setF(0x00);
    m.run({0xED, 0x62}); // SBC HL,HL
    EXPECT_EQ(m.HL, 0x0000);
    EXPECT_EQ(m.f(), 0x42);
    m.setF(0x01);
    m.run({0xED, 0x62});
    EXPECT_EQ(m.HL, 0xFFFF);
    EXPECT_EQ(m.f(), 0x93);
}

} // namespace
