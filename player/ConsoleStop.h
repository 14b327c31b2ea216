// The player's stop request. Every console event (interrupt, terminate,
// hang-up, quit) sets stopFlag (client/StopRequest.h), which the tick loop and
// the start-up pauses read, and asks the machine's CPU to stop, so that a
// driver routine that never returns cannot keep the player from ending.
#pragma once

#include "client/StopRequest.h"
#include "z80/Z80Cpu.h"

// The console event handler: requestStop, which also stops the bound machine.
// Only stores to lock-free atomics, so it is safe in signal context.
void onConsoleControl();

// Installs the stop request for the lifetime of this object, with cpu as the
// machine it stops. The handler stays installed afterwards, but no longer
// reaches the machine.
class ConsoleStopBinding {
public:
    explicit ConsoleStopBinding(Z80Cpu& cpu);
    ~ConsoleStopBinding();
    ConsoleStopBinding(const ConsoleStopBinding&) = delete;
    ConsoleStopBinding& operator=(const ConsoleStopBinding&) = delete;
};
