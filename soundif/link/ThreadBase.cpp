// CThreadBase: see ThreadBase.h.
#include "soundif/link/ThreadBase.h"

#include "common/ThreadScheduling.h"

#include <system_error>

CThreadBase::~CThreadBase() {
    stopThread();
}

bool CThreadBase::startThread() {
    if (thread.joinable()) return true;
    stopRequested.store(false, std::memory_order_release);
    finished.store(false, std::memory_order_release);
    try {
        thread = std::thread(&CThreadBase::threadEntry, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CThreadBase::stopThread() {
    if (!thread.joinable()) return;
    stopRequested.store(true, std::memory_order_release);
    thread.join();
}

void CThreadBase::threadEntry() {
    platform::requestRealTimeScheduling();
    while (!stopRequested.load(std::memory_order_acquire) && runStep()) {
    }
    finished.store(true, std::memory_order_release);
}
