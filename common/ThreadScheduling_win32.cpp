// Real-time scheduling on Windows (see ThreadScheduling.h): the multimedia
// class scheduler's "Pro Audio" task through avrt, else time-critical thread
// priority. The task is kept until the thread ends.
#include "common/ThreadScheduling.h"

#include <windows.h>

#include <avrt.h>

namespace platform {
namespace {

// Whether this thread has joined a multimedia task (a Windows thread cannot
// be asked which task it belongs to).
thread_local bool inMultimediaTask = false;

} // namespace

SchedulingState requestRealTimeScheduling() {
    DWORD taskIndex = 0;
    if (!inMultimediaTask && AvSetMmThreadCharacteristicsW(L"Pro Audio", &taskIndex) != nullptr)
        inMultimediaTask = true;
    if (!inMultimediaTask) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    return currentThreadScheduling();
}

SchedulingState currentThreadScheduling() {
    const int priority = GetThreadPriority(GetCurrentThread());
    if (inMultimediaTask) return {ThreadScheduling::multimedia, priority};
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
