// The player's stop request; see ConsoleStop.h.
#include "player/ConsoleStop.h"

#include "common/Platform.h"

std::atomic<bool> stopFlag{false};

namespace {
std::atomic<Z80Cpu*> stoppedCpu{nullptr};

static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<Z80Cpu*>::is_always_lock_free);
} // namespace

void onConsoleControl() {
    stopFlag.store(true, std::memory_order_relaxed);
    if (Z80Cpu* cpu = stoppedCpu.load()) cpu->requestStop();
}

ConsoleStopBinding::ConsoleStopBinding(Z80Cpu& cpu) {
    stoppedCpu.store(&cpu);
    platform::installConsoleEventHandler(onConsoleControl);
}

ConsoleStopBinding::~ConsoleStopBinding() {
    stoppedCpu.store(nullptr);
}
