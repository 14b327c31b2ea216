// Every opcode of every table, run from random register and memory states
// (fixed seeds), checked for the invariants that hold per family: the
// instruction length and R increments, and that flag bits 3 and 5 are never
// produced from a result. Meant to run under the sanitizers as well.
#include "z80/Z80Cpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <string>

namespace {

enum class Table { Main, Cb, Ed, Dd, Fd, DdCb, FdCb };

constexpr std::uint16_t origin = 0x8000;
constexpr int statesPerOpcode = 16;

// Opcodes that have their own IX / IY form after DD / FD.
const std::set<unsigned> indexOpcodes = {
    0x09, 0x19, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x34,
    0x35, 0x36, 0x39, 0x44, 0x45, 0x46, 0x4C, 0x4D, 0x4E, 0x54, 0x55, 0x56, 0x5C, 0x5D, 0x5E,
    0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E,
    0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x77, 0x7C, 0x7D, 0x7E, 0x84, 0x85, 0x86, 0x8C,
    0x8D, 0x8E, 0x94, 0x95, 0x96, 0x9C, 0x9D, 0x9E, 0xA4, 0xA5, 0xA6, 0xAC, 0xAD, 0xAE, 0xB4,
    0xB5, 0xB6, 0xBC, 0xBD, 0xBE, 0xCB, 0xE1, 0xE3, 0xE5, 0xE9, 0xF9};

// Instructions whose next instruction is not the following byte: jumps,
// calls, returns, HALT, and prefixes that start a new chain.
bool leavesTheStream(Table table, unsigned op) {
    const unsigned x = op >> 6, z = op & 7;
    switch (table) {
    case Table::Main:
        return op == 0x10 || op == 0x18 || (x == 0 && z == 0 && op >= 0x20) || op == 0x76 ||
               (x == 3 && (z == 0 || z == 2 || z == 4 || z == 7)) || op == 0xC3 || op == 0xC9 ||
               op == 0xCD || op == 0xE9 || op == 0xDD || op == 0xED || op == 0xFD;
    case Table::Ed: return (x == 1 && z == 5) || (op >= 0xB0 && (op & 4) == 0);
    case Table::Dd:
    case Table::Fd:
        return op == 0xE9 || (!indexOpcodes.contains(op) && leavesTheStream(Table::Main, op));
    default: return false;
    }
}

unsigned mainLength(unsigned op) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    if (x == 0) {
        if (z == 0) return y >= 2 ? 2 : 1;
        if (z == 1) return (y & 1) == 0 ? 3 : 1;
        if (z == 2) return y >= 4 ? 3 : 1;
        return z == 6 ? 2 : 1;
    }
    if (x == 3) {
        if (z == 2 || z == 4 || op == 0xC3 || op == 0xCD) return 3;
        if (z == 6 || op == 0xD3 || op == 0xDB) return 2;
    }
    return 1;
}

bool usesMemoryOperand(unsigned op) {
    const unsigned x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    return (x == 0 && z >= 4 && z <= 6 && y == 6) || (x == 1 && op != 0x76 && (y == 6 || z == 6)) ||
           (x == 2 && z == 6);
}

// Bytes of the whole instruction and the R increments it makes.
struct Shape {
    unsigned length;
    unsigned r;
};

Shape shapeOf(Table table, unsigned op) {
    switch (table) {
    case Table::Main: return op == 0xCB ? Shape{2, 2} : Shape{mainLength(op), 1};
    case Table::Cb: return {2, 2};
    case Table::Ed: return {((op >> 6) == 1 && (op & 7) == 3) ? 4u : 2u, 2};
    case Table::Dd:
    case Table::Fd:
        if (op == 0xCB) return {4, 3};
        if (!indexOpcodes.contains(op)) return {1 + mainLength(op), 3};
        return {1 + mainLength(op) + (usesMemoryOperand(op) ? 1 : 0), 2};
    default: return {4, 3};
    }
}

// F is built from the tables, so bits 5 and 3 must end 0.
bool clearsBits3And5(Table table, unsigned op) {
    const unsigned x = op >> 6, z = op & 7;
    switch (table) {
    case Table::Main:
    case Table::Dd:
    case Table::Fd:
        return x == 2 || (x == 3 && z == 6) || (x == 0 && (z == 4 || z == 5)) || op == 0x27 ||
               (x == 0 && (op & 0x0F) == 0x09);
    case Table::Ed:
        return (x == 1 && (z == 0 || z == 2 || z == 4)) || op == 0x57 || op == 0x5F || op == 0x67 ||
               op == 0x6F || (x == 2 && (op & 3) != 0 && (op & 4) == 0 && op >= 0xA0);
    default: return x <= 1;
    }
}

bool loadsFWhole(Table table, unsigned op) {
    return (table == Table::Main || table == Table::Dd || table == Table::Fd) &&
           (op == 0xF1 || op == 0x08);
}

class SweepMachine final : public Z80Cpu {
public:
    std::uint8_t readByte(std::uint16_t address) override {
        if (address == endAddress) ++endFetches;
        return memory[address];
    }
    void writeByte(std::uint16_t address, std::uint8_t value) override {
        if (static_cast<std::uint16_t>(address - origin) >= romSize) memory[address] = value;
    }
    std::uint8_t portIn(std::uint16_t port) override { return memory[port]; }

    std::array<std::uint8_t, 0x10000> memory{};
    unsigned romSize = 0;
    std::uint16_t endAddress = 0;
    unsigned endFetches = 0;
};

class OpcodeSweep : public testing::TestWithParam<Table> {};

TEST_P(OpcodeSweep, EveryOpcodeKeepsItsInvariants) {
    const Table table = GetParam();
    std::mt19937 random(1234 + static_cast<unsigned>(table));
    std::array<std::uint8_t, 0x10000> image;
    std::generate(image.begin(), image.end(), [&] { return static_cast<std::uint8_t>(random()); });
    for (unsigned op = 0; op < 256; ++op) {
        for (int state = 0; state < statesPerOpcode; ++state) {
            auto m = std::make_unique<SweepMachine>();
            m->memory = image;
            auto word = [&] { return static_cast<std::uint16_t>(random()); };
            for (std::uint16_t* r : {&m->BC, &m->DE, &m->HL, &m->AF, &m->IX, &m->IY, &m->SP,
                                     &m->afAlt, &m->bcAlt, &m->deAlt, &m->hlAlt}) {
                *r = word();
            }
            m->I = static_cast<std::uint8_t>(random());
            m->R = static_cast<std::uint8_t>(random());
            m->status = static_cast<std::uint8_t>(
                random() &
                (Z80Cpu::statusInterruptsDisabled | Z80Cpu::statusEiShadow | Z80Cpu::statusHalted));
            m->intRequest = random() & 1;
            m->cycles = static_cast<std::int32_t>(random());

            std::array<std::uint8_t, 4> code;
            std::generate(code.begin(), code.end(),
                          [&] { return static_cast<std::uint8_t>(random()); });
            const auto opByte = static_cast<std::uint8_t>(op);
            switch (table) {
            case Table::Main: code[0] = opByte; break;
            case Table::Cb: code = {0xCB, opByte, code[2], code[3]}; break;
            case Table::Ed: code = {0xED, opByte, code[2], code[3]}; break;
            case Table::Dd: code = {0xDD, opByte, code[2], code[3]}; break;
            case Table::Fd: code = {0xFD, opByte, code[2], code[3]}; break;
            case Table::DdCb: code = {0xDD, 0xCB, code[2], opByte}; break;
            case Table::FdCb: code = {0xFD, 0xCB, code[2], opByte}; break;
            }
            const Shape shape = shapeOf(table, op);
            std::copy(code.begin(), code.begin() + shape.length, m->memory.begin() + origin);
            m->endAddress = static_cast<std::uint16_t>(origin + shape.length);
            const std::uint8_t jumpToEnd[] = {0xC3, 0xFF, 0xFF};
            std::copy(std::begin(jumpToEnd), std::end(jumpToEnd),
                      m->memory.begin() + m->endAddress);
            m->romSize = shape.length + 3;

            const std::uint8_t fBefore = m->AF & 0xFF;
            const std::uint8_t rBefore = m->R;
            m->requestStop(); // bounds the runs that leave the instruction stream
            m->callSubroutine(origin);

            const std::string where = "table " + std::to_string(static_cast<int>(table)) +
                                      " opcode " + std::to_string(op) + " state " +
                                      std::to_string(state);
            if (leavesTheStream(table, op)) continue;
            const std::uint8_t fAfter = m->AF & 0xFF;
            ASSERT_EQ(m->endFetches, 1u) << where;
            if (!(table == Table::Ed && op == 0x4F)) { // LD R,A
                ASSERT_EQ(static_cast<std::uint8_t>(m->R - rBefore), shape.r + 1) << where;
            }
            if (!loadsFWhole(table, op)) {
                ASSERT_EQ(fAfter & 0x28 & ~fBefore, 0) << where;
            }
            if (clearsBits3And5(table, op)) {
                ASSERT_EQ(fAfter & 0x28, 0) << where;
            }
        }
    }
}

std::string tableName(const testing::TestParamInfo<Table>& info) {
    static const char* const names[] = {"Main", "Cb", "Ed", "Dd", "Fd", "DdCb", "FdCb"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Tables, OpcodeSweep,
                         testing::Values(Table::Main, Table::Cb, Table::Ed, Table::Dd, Table::Fd,
                                         Table::DdCb, Table::FdCb),
                         tableName);

} // namespace
