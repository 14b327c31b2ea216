// Running instructions allocates no memory: every operator new in the
// process is counted, and a run that goes through every handler table must
// not add to the count.
#include "z80/Z80Cpu.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<unsigned long> allocations{0};

class RamMachine final : public Z80Cpu {
public:
    std::uint8_t readByte(std::uint16_t address) override { return memory[address]; }
    void writeByte(std::uint16_t address, std::uint8_t value) override { memory[address] = value; }
    std::array<std::uint8_t, 0x10000> memory{};
};

TEST(Allocation, NoneWhileInstructionsRun) {
    auto m = std::make_unique<RamMachine>();
    const std::uint8_t program[] = {0x06, 0x40,             // LD B,64
                                    0xDD, 0x21, 0x00, 0x40, // LD IX,0x4000
                                    0xFD, 0x21, 0x00, 0x50, // LD IY,0x5000
                                    0xDD, 0x34, 0x01,       // loop: INC (IX+1)
                                    0xFD, 0xCB, 0x02, 0x06, // RLC (IY+2)
                                    0xCB, 0x11,             // RL C
                                    0x21, 0x00, 0x40,       // LD HL,0x4000
                                    0x11, 0x00, 0x60,       // LD DE,0x6000
                                    0xC5,                   // PUSH BC
                                    0x01, 0x20, 0x00,       // LD BC,32
                                    0xED, 0xB0,             // LDIR
                                    0xC1,                   // POP BC
                                    0x10, 0xE8,             // DJNZ loop
                                    0xC9};                  // RET
    std::copy(std::begin(program), std::end(program), m->memory.begin() + 0x1000);
    m->SP = 0xF000;
    const unsigned long before = allocations.load();
    m->callSubroutine(0x1000);
    EXPECT_EQ(allocations.load(), before);
    EXPECT_EQ(m->memory[0x4001], 64); // the loop ran its 64 passes
    EXPECT_EQ(m->memory[0x6001], 64);
}

} // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

// The replaced operator new above allocates with malloc, so free is the match;
// GCC cannot see that through the replacement and warns.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
