// Platform layer for Linux and other POSIX systems: monotonic clock, dlopen,
// dladdr, signals (job control included) and UTF-8 console text.
#include "common/Platform.h"

#include "common/KeySequence.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <poll.h>
#include <strings.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace platform {

std::int64_t counterFrequency() {
    using Period = std::chrono::steady_clock::period;
    return Period::den / Period::num;
}

std::uint64_t counterValue() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::uint32_t tickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

double processCpuMilliseconds() {
    timespec time{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time) != 0) return 0;
    return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_nsec) / 1e6;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void waitNanoseconds(std::int64_t nanoseconds) {
    if (nanoseconds > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(nanoseconds));
}

void* loadLibrary(const std::string& name) {
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(void* module, const char* name) {
    return dlsym(module, name);
}

void freeLibrary(void* module) {
    dlclose(module);
}

std::filesystem::path modulePathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code error;
    auto path = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path(info.dli_fname) : path;
}

namespace {
void (*consoleHandler)() = nullptr;

// The signal again, as if it had never been caught: its default action, and
// unblocked (it is blocked inside its own handler). Async-signal-safe.
void raiseWithDefaultAction(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
}
volatile std::sig_atomic_t lastEvent = 0;

extern "C" void onSignal(int signal) {
    lastEvent = signal;
    if (consoleHandler != nullptr) consoleHandler();
}
} // namespace

int lastConsoleEvent() {
    return lastEvent;
}

void endAsConsoleEvent(int event) {
    if (event == 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    raiseWithDefaultAction(event);
}

void installConsoleEventHandler(void (*handler)()) {
    consoleHandler = handler;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

void setEnvironment(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name) {
    unsetenv(name.c_str());
}

void ignoreClosedPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void setConsoleLocale() {
    std::setlocale(LC_ALL, "");
}

void writeErrorLine(std::wstring_view text) {
    std::string bytes;
    for (wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | (code >> 6));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += static_cast<char>(0xE0 | (code >> 12));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (code >> 18));
            bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

void useUtf8Console() {}

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

namespace {
termios savedTerminal{};
termios keyTerminal{};
volatile std::sig_atomic_t keyInput = 0;
// A stop of the job asked for and not yet taken: 1 until readKey has given
// it as a key, 2 until the program stops through suspendProcess.
volatile std::sig_atomic_t stopAsked = 0;
KeySequence keySequence;
// How long the rest of an escape sequence begun may take to arrive.
constexpr int sequenceWaitMilliseconds = 30;

bool inForeground() {
    return tcgetpgrp(STDIN_FILENO) == getpgrp();
}

extern "C" void onContinue(int);
extern "C" void onTerminalStop(int signal);

// The terminal back as it was, then the stop itself. Async-signal-safe.
void stopNow() {
    if (keyInput != 0 && inForeground()) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    stopAsked = 0;
    raiseWithDefaultAction(SIGTSTP);
    // Continued: onContinue has run; catch the next stop again.
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = onTerminalStop;
    sigaction(SIGTSTP, &action, nullptr);
}

// Ctrl+Z: asked of the program through readKey; asked again, at once.
extern "C" void onTerminalStop(int) {
    const int savedErrno = errno;
    if (stopAsked == 0)
        stopAsked = 1;
    else
        stopNow();
    errno = savedErrno;
}

// fg: key mode again, when the terminal is this job's.
extern "C" void onContinue(int) {
    const int savedErrno = errno;
    if (keyInput != 0 && inForeground()) tcsetattr(STDIN_FILENO, TCSANOW, &keyTerminal);
    errno = savedErrno;
}

void catchJobControl(bool on) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = on ? onTerminalStop : SIG_DFL;
    sigaction(SIGTSTP, &action, nullptr);
    action.sa_handler = on ? onContinue : SIG_DFL;
    sigaction(SIGCONT, &action, nullptr);
}

// One byte if one is waiting (or comes within the milliseconds given).
int readByte(int waitMilliseconds) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, waitMilliseconds) <= 0 || (input.revents & POLLIN) == 0) return -1;
    unsigned char byte = 0;
    return read(STDIN_FILENO, &byte, 1) == 1 ? byte : -1;
}
} // namespace

bool beginKeyInput() {
    if (keyInput != 0) return true;
    if (!standardInputIsTerminal() || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return false;
    keyTerminal = savedTerminal;
    keyTerminal.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keyTerminal.c_cc[VMIN] = 0;
    keyTerminal.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keyTerminal) != 0) return false;
    keySequence.reset();
    keyInput = 1;
    catchJobControl(true);
    return true;
}

int readKey() {
    if (keyInput == 0) return -1;
    if (stopAsked == 1) {
        stopAsked = 2;
        return KeySequence::suspend;
    }
    // In the background (bg) the terminal belongs to the shell: a read would
    // stop the job.
    if (!inForeground()) return -1;
    while (true) {
        const int byte = readByte(keySequence.pending() ? sequenceWaitMilliseconds : 0);
        if (byte < 0) {
            keySequence.reset(); // a lone Escape
            return -1;
        }
        const int key = keySequence.feed(static_cast<std::uint8_t>(byte));
        if (key != KeySequence::none) return key;
        if (!keySequence.pending()) return -1;
    }
}

void suspendProcess() {
    if (keyInput != 0) stopNow();
}

void endKeyInput() {
    if (keyInput == 0) return;
    catchJobControl(false);
    keyInput = 0;
    stopAsked = 0;
    // In the background the terminal is as the shell keeps it already.
    if (inForeground()) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

std::filesystem::path findFileIgnoringCase(const std::filesystem::path& directory,
                                           const std::string& name) {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(directory.empty() ? "." : directory, error)) {
        if (strcasecmp(entry.path().filename().string().c_str(), name.c_str()) == 0 &&
            entry.is_regular_file(error))
            return entry.path();
    }
    return {};
}

} // namespace platform
