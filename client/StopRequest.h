// The players' stop request. Every console event (POSIX: interrupt,
// terminate, hang-up, quit; Windows: every console control event) sets
// stopFlag, which the play loops read; the events no longer end the process
// by themselves, so the players can silence the chips and release them first.
#pragma once

#include <atomic>

// Set by the first console event; never cleared.
extern std::atomic<bool> stopFlag;

// Sets stopFlag and calls the extra action given to installStopRequest, if
// any. Only touches lock-free atomics, so it is safe in signal context.
void requestStop();

// Makes every console event call requestStop. extra, when given, runs in
// signal context too and may only store to lock-free atomics; a later call
// replaces it (null removes it).
void installStopRequest(void (*extra)() = nullptr);
