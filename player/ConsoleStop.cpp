// The player's stop request; see ConsoleStop.h.
#include "player/ConsoleStop.h"

#include "common/Platform.h"

#include <thread>

namespace {
std::atomic<Z80Cpu*> stoppedCpu{nullptr};
// Handler calls that have begun and not yet ended. A handler call counts
// itself before it reads the machine, and the binding clears the machine
// before it reads the count (both sequentially consistent), so either the
// call sees no machine or the binding sees the call and waits for it.
std::atomic<int> handlerCalls{0};

static_assert(std::atomic<Z80Cpu*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
} // namespace

void onConsoleControl() {
    handlerCalls.fetch_add(1);
    stopFlag.store(true, std::memory_order_relaxed);
    if (Z80Cpu* cpu = stoppedCpu.load()) cpu->requestStop();
    handlerCalls.fetch_sub(1);
}

void installConsoleStop() {
    platform::installConsoleEventHandler(onConsoleControl);
}

ConsoleStopBinding::ConsoleStopBinding(Z80Cpu& cpu) {
    stoppedCpu.store(&cpu);
}

ConsoleStopBinding::~ConsoleStopBinding() {
    stoppedCpu.store(nullptr);
    while (handlerCalls.load() != 0)
        std::this_thread::yield();
}
