// Real-time scheduling on POSIX systems (see ThreadScheduling.h): the
// first-in first-out policy through pthread_setschedparam, within the
// process's RLIMIT_RTPRIO, with reset-on-fork where the system has it.
#include "common/ThreadScheduling.h"

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace platform {
namespace {

// High enough to come before ordinary and desktop work, low enough to leave
// room above for the sound server and the system's own real-time threads.
constexpr int wantedPriority = 10;

// The priority that the resource limit allows, or wantedPriority when the
// limit is unlimited or lower than that (a privileged process is not held to
// the limit; an unprivileged one is then refused and stays normal).
int allowedPriority() {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur == 0)
        return wantedPriority;
    return std::min<int>(wantedPriority, static_cast<int>(limit.rlim_cur));
}

int firstInFirstOutPolicy() {
#ifdef SCHED_RESET_ON_FORK
    return SCHED_FIFO | SCHED_RESET_ON_FORK;
#else
    return SCHED_FIFO;
#endif
}

} // namespace

SchedulingState requestRealTimeScheduling() {
    sched_param parameters{};
    parameters.sched_priority = allowedPriority();
    pthread_setschedparam(pthread_self(), firstInFirstOutPolicy(), &parameters);
    return currentThreadScheduling();
}

SchedulingState currentThreadScheduling() {
    int policy = 0;
    sched_param parameters{};
    if (pthread_getschedparam(pthread_self(), &policy, &parameters) != 0) return {};
#ifdef SCHED_RESET_ON_FORK
    policy &= ~SCHED_RESET_ON_FORK;
#endif
    if (policy != SCHED_FIFO && policy != SCHED_RR) return {};
    return {ThreadScheduling::realTime, parameters.sched_priority};
}

std::string describeScheduling(const SchedulingState& state) {
    if (state.kind != ThreadScheduling::realTime) return "normal (real-time not granted)";
    return "real-time (first-in first-out, priority " + std::to_string(state.priority) + ")";
}

} // namespace platform
