// Real-time scheduling on Windows (see ThreadScheduling.h): the multimedia
// class scheduler's "Pro Audio" task through avrt, else time-critical thread
// priority. The task is kept until the thread leaves it or ends.
#include "common/ThreadScheduling.h"

#include <windows.h>

#include <avrt.h>

namespace platform {
namespace {

// The multimedia task this thread has joined, if any (a Windows thread
// cannot be asked which task it belongs to).
thread_local HANDLE multimediaTask = nullptr;

} // namespace

SchedulingState requestRealTimeScheduling() {
    DWORD taskIndex = 0;
    if (multimediaTask == nullptr)
        multimediaTask = AvSetMmThreadCharacteristicsW(L"Pro Audio", &taskIndex);
    if (multimediaTask == nullptr)
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    return currentThreadScheduling();
}

void leaveRealTimeScheduling() {
    if (multimediaTask != nullptr) AvRevertMmThreadCharacteristics(multimediaTask);
    multimediaTask = nullptr;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

SchedulingState currentThreadScheduling() {
    const int priority = GetThreadPriority(GetCurrentThread());
    if (multimediaTask != nullptr) return {ThreadScheduling::multimedia, priority};
    if (priority == THREAD_PRIORITY_TIME_CRITICAL)
        return {ThreadScheduling::timeCritical, priority};
    return {ThreadScheduling::normal, priority};
}

std::string describeScheduling(const SchedulingState& state) {
    switch (state.kind) {
    case ThreadScheduling::multimedia: return "real-time (multimedia class scheduler, Pro Audio)";
    case ThreadScheduling::timeCritical: return "raised (time-critical thread priority)";
    default: return "normal (real-time not granted)";
    }
}

} // namespace platform
