// The thin platform layer: every call into the operating system that the
// player, the library and the tools make goes through these functions. One
// source per operating system implements them (Platform_posix.cpp,
// Platform_win32.cpp). Threads, locks and atomics use the C++ standard library
// directly and are not wrapped; sleeps go through sleepMilliseconds, because
// a plain sleep on Windows lasts a whole scheduler period (about 16 ms).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// High-resolution counter: counts per second (0 when there is none) and the
// current count: the monotonic clock in nanoseconds on POSIX,
// QueryPerformanceFrequency/QueryPerformanceCounter on Windows.
std::int64_t counterFrequency();
std::uint64_t counterValue();

// Milliseconds since an arbitrary start (GetTickCount on Windows), wrapping
// modulo 2^32.
std::uint32_t tickCount();

// CPU time the whole process has used so far, user and system, in
// milliseconds (the C runtime's clock() is wall time on Windows).
double processCpuMilliseconds();

// Suspends the calling thread for about that many milliseconds. On Windows
// the first call raises the system timer resolution to 1 ms for the life of
// the process.
void sleepMilliseconds(std::uint32_t milliseconds);

// Waits a short while (up to a few milliseconds) as exactly as the system
// allows: a plain sleep on POSIX, whose timers are fine; on Windows, whose
// sleeps end only on a timer period, by giving the processor away until the
// time has come.
void waitNanoseconds(std::int64_t nanoseconds);

// Run-time library loading. loadLibrary takes a file name or path in UTF-8
// (the platform's standard search applies when it has no directory) and
// returns null on failure; findSymbol returns null when the name is not
// exported.
void* loadLibrary(const std::string& name);
void* findSymbol(void* module, const char* name);
void freeLibrary(void* module);

// The file in a directory whose name equals the given one without regard to
// ASCII case (an MDX song's sample bank, named in capitals on a machine whose
// file names had no case); empty when there is none. POSIX lists the
// directory; Windows, whose file names ignore case, looks the name up.
std::filesystem::path findFileIgnoringCase(const std::filesystem::path& directory,
                                           const std::string& name);

// Full path of the loaded module (program or shared library) that contains
// the given address; empty when it cannot be told.
std::filesystem::path modulePathOf(const void* address);

// Calls handler on every console event (POSIX: interrupt, terminate, hang-up
// and quit signals; Windows: every console control event, through
// SetConsoleCtrlHandler). The handler runs in signal context or on a thread of
// the system's: it may only store to lock-free atomics. The events then no
// longer end the process by themselves.
void installConsoleEventHandler(void (*handler)());

// The console event that came last: on POSIX its signal number, on Windows
// the control event plus one; 0 when none has come.
int lastConsoleEvent();

// Ends the process as an unhandled console event ends it, so that a shell
// sees the program stopped by it (a shell loop stops at an interrupted
// program): POSIX restores the signal's default action and raises it again
// (exit status 128 + the signal number); Windows exits with the code of a
// Ctrl+C. Does nothing for 0.
void endAsConsoleEvent(int event);

// Sets an environment variable of this process, replacing any earlier value
// (reading one is std::getenv). Not safe while other threads read the
// environment.
void setEnvironment(const std::string& name, const std::string& value);
// Removes an environment variable of this process; same caveat.
void unsetEnvironment(const std::string& name);

// Makes a write to a pipe whose reader has gone fail with an error instead of
// ending the process (POSIX: SIGPIPE is ignored; Windows raises no signal for
// it), so that console output errors can be ignored. Call before the first
// console write.
void ignoreClosedPipes();

// The process locale for the player's console text: "Japanese_Japan.932" on
// Windows, the user's locale elsewhere. A failure is ignored.
void setConsoleLocale();

// Writes one line of wide text and a newline to standard error and flushes
// it: converted through the process locale on Windows, as UTF-8 elsewhere.
// Output errors are ignored.
void writeErrorLine(std::wstring_view text);

// Console text as UTF-8: on Windows the console's output code page becomes
// UTF-8 for the life of the process; elsewhere the terminal's own encoding is
// taken to be UTF-8 and nothing changes.
void useUtf8Console();

// Whether standard input / standard error is a terminal (a console).
bool standardInputIsTerminal();
bool standardErrorIsTerminal();

// Single key presses from the terminal on standard input, without echo and
// without waiting for a line end. beginKeyInput switches the terminal into
// that mode (false when standard input is not a terminal); readKey gives the
// next key pressed (a byte, or one of the arrow codes of KeySequence; other
// function keys and escape sequences are read whole and dropped), or -1 at
// once when none is waiting; it never blocks, whatever mode the terminal is
// in. endKeyInput puts the terminal back as it was. On POSIX a stop of the
// job asked for (Ctrl+Z) comes as the key KeySequence::suspend, so that the
// program can ready itself first (a player silences its chips); it then
// calls suspendProcess, which gives the terminal back as it was, stops the
// process, and once continued in the foreground (fg) takes key mode up
// again. A second Ctrl+Z before the program has stopped stops it at once.
// Elsewhere suspendProcess does nothing.
bool beginKeyInput();
int readKey();
void suspendProcess();
void endKeyInput();

} // namespace platform
