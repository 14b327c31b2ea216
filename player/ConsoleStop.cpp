// The player's stop request; see ConsoleStop.h.
#include "player/ConsoleStop.h"

namespace {
std::atomic<Z80Cpu*> stoppedCpu{nullptr};

static_assert(std::atomic<Z80Cpu*>::is_always_lock_free);

void stopMachine() {
    if (Z80Cpu* cpu = stoppedCpu.load()) cpu->requestStop();
}
} // namespace

void onConsoleControl() {
    stopFlag.store(true, std::memory_order_relaxed);
    stopMachine();
}

ConsoleStopBinding::ConsoleStopBinding(Z80Cpu& cpu) {
    stoppedCpu.store(&cpu);
    installStopRequest(stopMachine);
}

ConsoleStopBinding::~ConsoleStopBinding() {
    stoppedCpu.store(nullptr);
}
