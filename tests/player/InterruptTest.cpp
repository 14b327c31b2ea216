// Interrupt delivery: after each tick the machine runs the driver's routines
// for channels 1 and 3 through the vector table at I * 256 + vector, at most
// once per tick each, channel 1 first, and never for channels 0 and 2.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player/PortMap.h"
#include "player/Tonrig.h"

namespace {

class InterruptTest : public ::testing::Test {
protected:
    InterruptTest() {
        // Each routine appends its id to a log at 0x5100 (next free byte in
        // the word at 0x5000): LD HL,(5000); LD (HL),id; INC HL; LD (5000),HL; RET.
        machine->memory[0x5000] = 0x00;
        machine->memory[0x5001] = 0x51;
        for (std::uint8_t id = 0; id < 4; ++id) {
            const std::uint16_t routine = 0x3000 + id * 0x10;
            const std::uint8_t code[] = {0x2A, 0x00, 0x50, 0x36, id, 0x23, 0x22, 0x00, 0x50, 0xC9};
            std::copy(std::begin(code), std::end(code), machine->memory.begin() + routine);
            machine->memory[0x2010 + 2 * id] = static_cast<std::uint8_t>(routine);
            machine->memory[0x2011 + 2 * id] = static_cast<std::uint8_t>(routine >> 8);
        }
        machine->I = 0x20;
        machine->portOut(portmap::ctcPort(0), 0x10); // vector 0x10
    }

    std::string log() const {
        std::string text;
        for (std::uint16_t at = 0x5100; at < 0x5200 && machine->memory[at] != 0xEE; ++at) {
            text += static_cast<char>('0' + machine->memory[at]);
        }
        return text;
    }

    std::unique_ptr<Tonrig> machine = [] {
        auto m = std::make_unique<Tonrig>();
        std::fill(m->memory.begin() + 0x5100, m->memory.begin() + 0x5200, 0xEE);
        return m;
    }();
};

TEST_F(InterruptTest, Channel1ThenChannel3AtMostOncePerTick) {
    machine->portOut(portmap::ctcPort(1), 0x85); // 400 clocks: ten zeros a tick
    machine->portOut(portmap::ctcPort(1), 25);
    machine->portOut(portmap::ctcPort(3), 0x85); // 4,000 clocks
    machine->portOut(portmap::ctcPort(3), 250);
    for (int tick = 0; tick < 3; ++tick)
        machine->tick();
    EXPECT_EQ(log(), "131313");
    EXPECT_EQ(machine->SP, 0); // every routine returned
}

TEST_F(InterruptTest, Channels0And2NeverRunARoutine) {
    machine->portOut(portmap::ctcPort(0), 0x85);
    machine->portOut(portmap::ctcPort(0), 250);
    machine->portOut(portmap::ctcPort(2), 0x85);
    machine->portOut(portmap::ctcPort(2), 250);
    machine->portOut(portmap::ctcPort(3), 0xC5); // counts channel 0's zeros
    machine->portOut(portmap::ctcPort(3), 2);
    for (int tick = 0; tick < 4; ++tick)
        machine->tick();
    EXPECT_EQ(log(), "33");
}

TEST_F(InterruptTest, TableEntryFollowsIAndVector) {
    machine->portOut(portmap::ctcPort(0), 0xF8);
    machine->memory[0x20FA] = 0x20; // channel 1: routine 2
    machine->memory[0x20FB] = 0x30;
    machine->memory[0x20FE] = 0x10; // channel 3: routine 1
    machine->memory[0x20FF] = 0x30;
    machine->deliverInterrupts(0x0F);
    EXPECT_EQ(log(), "21");

    machine->I = 0x21;
    machine->memory[0x21FA] = 0x30; // routine 3
    machine->memory[0x21FB] = 0x30;
    machine->deliverInterrupts(0x02);
    EXPECT_EQ(log(), "213");
}

// Channel 3's table entry is looked up after channel 1's routine has run,
// with the I register and vector that routine left.
TEST_F(InterruptTest, Channel3FollowsWhatChannel1sRoutineChanged) {
    // Log id, RET.
    const auto logAndReturn = [](std::uint8_t id) {
        return std::vector<std::uint8_t>{0x2A, 0x00, 0x50, 0x36, id, 0x23, 0x22, 0x00, 0x50, 0xC9};
    };
    std::vector<std::uint8_t> changesI = {0x3E, 0x21, 0xED, 0x47}; // LD A,0x21; LD I,A
    std::vector<std::uint8_t> changesVector = {0x01, 0xA0, 0x1F,   // LD BC,0x1FA0
                                               0x3E, 0x30,         // LD A,0x30
                                               0xED, 0x79};        // OUT (C),A
    for (auto* code : {&changesI, &changesVector}) {
        const auto tail = logAndReturn(code == &changesI ? 5 : 6);
        code->insert(code->end(), tail.begin(), tail.end());
    }
    std::copy(changesI.begin(), changesI.end(), machine->memory.begin() + 0x3100);
    std::copy(changesVector.begin(), changesVector.end(), machine->memory.begin() + 0x3200);
    machine->memory[0x2116] = 0x10; // I = 0x21, vector 0x10, channel 3: routine 1
    machine->memory[0x2117] = 0x30;
    machine->memory[0x2036] = 0x00; // I = 0x20, vector 0x30, channel 3: routine 0
    machine->memory[0x2037] = 0x30;

    machine->memory[0x2012] = 0x00; // channel 1: the routine that changes I
    machine->memory[0x2013] = 0x31;
    machine->deliverInterrupts(0x0A);
    EXPECT_EQ(log(), "51");

    machine->I = 0x20;
    machine->memory[0x2012] = 0x00; // channel 1: the routine that changes the vector
    machine->memory[0x2013] = 0x32;
    machine->deliverInterrupts(0x0A);
    EXPECT_EQ(log(), "5160");
}

} // namespace
