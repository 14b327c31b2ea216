// Real-time scheduling on POSIX systems (see ThreadScheduling.h): the
// first-in first-out policy through pthread_setschedparam, within the
// process's RLIMIT_RTPRIO, with reset-on-fork where the system has it. On
// Linux, where that is refused, the desktop's real-time policy service
// (RealtimeKit, on the system bus) is asked to make the thread real-time, as
// sound servers do; it grants round-robin real-time only to a process whose
// RLIMIT_RTTIME is bounded, so that limit is set first (a real-time thread
// that ran that long without sleeping would be stopped; the timing threads
// sleep every millisecond).
#include "common/ThreadScheduling.h"

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#ifdef __linux__
#include <dbus/dbus.h>
#include <unistd.h>
#endif

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

#ifdef __linux__
// The service's largest real-time run without a sleep that it accepts
// (its default), in microseconds, and how long to wait for its answer.
constexpr rlim_t serviceRunLimitMicroseconds = 200000;
constexpr int serviceTimeoutMilliseconds = 1000;

// Asks the real-time policy service to give the calling thread the wanted
// priority; false when there is no system bus, no service or a refusal.
bool askRealTimeService() {
    rlimit runLimit{};
    if (getrlimit(RLIMIT_RTTIME, &runLimit) != 0) return false;
    if (runLimit.rlim_max == RLIM_INFINITY || runLimit.rlim_max > serviceRunLimitMicroseconds) {
        runLimit.rlim_cur = runLimit.rlim_max = serviceRunLimitMicroseconds;
        if (setrlimit(RLIMIT_RTTIME, &runLimit) != 0) return false;
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (bus == nullptr) {
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    bool granted = false;
    DBusMessage* call = dbus_message_new_method_call(
        "org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
        "org.freedesktop.RealtimeKit1", "MakeThreadRealtime");
    dbus_uint64_t thread = static_cast<dbus_uint64_t>(gettid());
    dbus_uint32_t priority = wantedPriority;
    if (call != nullptr &&
        dbus_message_append_args(call, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &priority,
                                 DBUS_TYPE_INVALID)) {
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(
            bus, call, serviceTimeoutMilliseconds, &error);
        if (reply != nullptr) {
            granted = !dbus_set_error_from_message(&error, reply);
            dbus_message_unref(reply);
        }
    }
    if (call != nullptr) dbus_message_unref(call);
    dbus_error_free(&error);
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return granted;
}
#endif

} // namespace

SchedulingState requestRealTimeScheduling() {
    sched_param parameters{};
    parameters.sched_priority = allowedPriority();
    if (pthread_setschedparam(pthread_self(), firstInFirstOutPolicy(), &parameters) == 0)
        return currentThreadScheduling();
#ifdef __linux__
    if (askRealTimeService()) {
        SchedulingState state = currentThreadScheduling();
        if (state.kind == ThreadScheduling::realTime)
            state.kind = ThreadScheduling::realTimeService;
        return state;
    }
#endif
    return currentThreadScheduling();
}

void leaveRealTimeScheduling() {
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &parameters);
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
    const std::string priority = "priority " + std::to_string(state.priority);
    switch (state.kind) {
    case ThreadScheduling::realTime: return "real-time (first-in first-out, " + priority + ")";
    case ThreadScheduling::realTimeService:
        return "real-time (" + priority + ", granted by the desktop's real-time service)";
    default: return "normal (real-time not granted)";
    }
}

} // namespace platform
