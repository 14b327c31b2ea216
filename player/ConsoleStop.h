// The player's stop request. Every console event (interrupt, terminate,
// hang-up, quit) sets stopFlag (client/StopRequest.h, shared with the other
// player), which the tick loop and the start-up pauses read, and asks the machine's CPU to stop, so
// that a driver routine that never returns cannot keep the player from ending.
//
// The handler runs on a thread of the system's (Windows) or in signal
// context (POSIX), at any moment from its installation to the end of the
// process, so the machine is reached only through a binding: the handler is
// installed first, the machine is built and bound, and the binding's end
// waits for any handler call that may still hold the machine before the
// machine is destroyed.
#pragma once

#include "client/StopRequest.h"
#include "z80/Z80Cpu.h"

// The console event handler. Only touches lock-free atomics (and the bound
// machine's stop request), so it is safe in signal context.
void onConsoleControl();

// Installs onConsoleControl for the rest of the process.
void installConsoleStop();

// Lets the handler stop cpu for the lifetime of this object. The destructor
// returns only when no handler call can still reach cpu.
class ConsoleStopBinding {
public:
    explicit ConsoleStopBinding(Z80Cpu& cpu);
    ~ConsoleStopBinding();
    ConsoleStopBinding(const ConsoleStopBinding&) = delete;
    ConsoleStopBinding& operator=(const ConsoleStopBinding&) = delete;
};
