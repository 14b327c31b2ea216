// The players' stop request; see StopRequest.h.
#include "client/StopRequest.h"

#include "common/Platform.h"

std::atomic<bool> stopFlag{false};

namespace {
std::atomic<void (*)()> extraAction{nullptr};

static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<void (*)()>::is_always_lock_free);
} // namespace

void requestStop() {
    stopFlag.store(true, std::memory_order_relaxed);
    if (void (*extra)() = extraAction.load()) extra();
}

void installStopRequest(void (*extra)()) {
    extraAction.store(extra);
    platform::installConsoleEventHandler(requestStop);
}
