// The thin platform layer: every call into the operating system that the
// player, the library and the tools make goes through these functions. One
// source per operating system implements them (Platform_posix.cpp here).
// Threads, locks, atomics, sleeping and files use the C++ standard library
// directly and are not wrapped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

// High-resolution counter: counts per second (0 when there is none) and the
// current count. Here: the monotonic clock in nanoseconds.
std::int64_t counterFrequency();
std::uint64_t counterValue();

// Milliseconds of the monotonic clock, wrapping modulo 2^32.
std::uint32_t tickCount();

// Run-time library loading. loadLibrary takes a file name (the platform's
// standard search applies when it has no directory) and returns null on
// failure; findSymbol returns null when the name is not exported.
void* loadLibrary(const std::string& name);
void* findSymbol(void* module, const char* name);
void freeLibrary(void* module);

// Full path of the loaded module (program or shared library) that contains
// the given address; empty when it cannot be told.
std::filesystem::path modulePathOf(const void* address);

// Calls handler on every console event (interrupt, terminate, hang-up and
// quit). The handler runs in signal context: it may only store to lock-free
// atomics. The events then no longer end the process by themselves.
void installConsoleEventHandler(void (*handler)());

// Sets an environment variable of this process, replacing any earlier value
// (reading one is std::getenv). Not safe while other threads read the
// environment.
void setEnvironment(const std::string& name, const std::string& value);
// Removes an environment variable of this process; same caveat.
void unsetEnvironment(const std::string& name);

} // namespace platform
