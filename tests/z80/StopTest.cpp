// The stop request: a routine that never returns by itself ends soon after
// another thread asks for it, and PC is put back as on a normal return.
#include "TestMachine.h"
#include "common/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

double secondsNow() {
    return static_cast<double>(platform::counterValue()) /
           static_cast<double>(platform::counterFrequency());
}

// Runs the routine, requests the stop from another thread after a while and
// returns the seconds from the request to the end of callSubroutine.
double secondsToStop(TestMachine& m, std::uint16_t routine) {
    std::atomic<double> requestedAt{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        requestedAt = secondsNow();
        m.requestStop();
    });
    m.callSubroutine(routine);
    const double endedAt = secondsNow();
    stopper.join();
    return endedAt - requestedAt.load();
}

TEST(StopRequest, EndsALoopOnItself) {
    TestMachine m;
    m.memory[0x1800] = 0x18; // JR $
    m.memory[0x1801] = 0xFE;
    m.PC = 0x1234;
    m.SP = 0x8000;
    EXPECT_LT(secondsToStop(m, 0x1800), 0.1);
    EXPECT_EQ(m.PC, 0x1234);
    EXPECT_EQ(m.SP, 0x7FFE); // only PC is put back
    EXPECT_TRUE(m.stopRequested.load());

    m.memory[0x1900] = 0x23; // INC HL; JR $-1: later calls end promptly too
    m.memory[0x1901] = 0x18;
    m.memory[0x1902] = 0xFD;
    m.callSubroutine(0x1900);
    EXPECT_EQ(m.PC, 0x1234);
    EXPECT_GT(m.HL, 0);
}

TEST(StopRequest, EndsAHalt) {
    TestMachine m;
    m.memory[0x1800] = 0x76; // HALT
    EXPECT_LT(secondsToStop(m, 0x1800), 0.1);
    EXPECT_EQ(m.PC, 0x0000);
    EXPECT_EQ(m.status, Z80Cpu::statusHalted);
}

} // namespace
