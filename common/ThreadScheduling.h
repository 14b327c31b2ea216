// Real-time scheduling for the threads that keep time: the library's board
// worker and the players' timing thread ask for it when they start, so that
// a busy machine (a parallel build on every core) delays their wake-ups less.
//
// requestRealTimeScheduling asks the system for the calling thread only and
// falls back silently to the normal scheduling where it is not granted. On
// POSIX it asks for the first-in first-out real-time policy at a moderate
// priority, within the process's RLIMIT_RTPRIO (a privileged process may go
// beyond it), with reset-on-fork so that child processes start normal; on
// Linux, where that is refused, it asks the desktop's real-time policy
// service over D-Bus, as sound servers do (which bounds the process's
// RLIMIT_RTTIME, as that service demands). On
// Windows it asks the multimedia class scheduler for the "Pro Audio" task and,
// where that service is missing, raises the thread to time-critical priority
// within its process's class. currentThreadScheduling tells what the calling
// thread runs under, which --list reports.
#pragma once

#include <string>

namespace platform {

enum class ThreadScheduling {
    normal,          // the system's ordinary time sharing
    realTime,        // POSIX first-in first-out real-time policy
    realTimeService, // Linux real-time policy service (round-robin real time)
    multimedia,      // Windows multimedia class scheduler task
    timeCritical,    // Windows time-critical thread priority
};

struct SchedulingState {
    ThreadScheduling kind = ThreadScheduling::normal;
    // Real-time priority (POSIX, 1 to 99), or the Windows thread priority.
    int priority = 0;
};

// Asks for real-time scheduling for the calling thread; returns what it runs
// under afterwards (normal when nothing was granted).
SchedulingState requestRealTimeScheduling();

// Puts the calling thread back on the normal scheduling (a thread that
// does other work between its timing, such as reading the next song, leaves
// real time for it).
void leaveRealTimeScheduling();

// What the calling thread runs under now (realTime for any POSIX real-time
// policy: the thread cannot tell who granted it).
SchedulingState currentThreadScheduling();

// One line for people: "real-time (first-in first-out, priority 10)",
// "normal (real-time not granted)" and so on.
std::string describeScheduling(const SchedulingState& state);

} // namespace platform
