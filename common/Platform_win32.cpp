// Platform layer for Windows: performance counter, tick count, timer
// resolution, LoadLibraryW, module paths, the console control handler and the
// C runtime's locale conversion for console text.
#include "common/Platform.h"

#include "common/KeySequence.h"

#include "common/WideText.h"

#include <windows.h>

#include <atomic>
#include <clocale>
#include <conio.h>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <io.h>
#include <mutex>

namespace platform {

std::int64_t counterFrequency() {
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency)) return 0;
    return frequency.QuadPart;
}

std::uint64_t counterValue() {
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return static_cast<std::uint64_t>(count.QuadPart);
}

std::uint32_t tickCount() {
    return GetTickCount();
}

double processCpuMilliseconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto hundredNs = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(hundredNs(kernel) + hundredNs(user)) / 10000.0;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    static std::once_flag resolution;
    std::call_once(resolution, [] { timeBeginPeriod(1); });
    Sleep(milliseconds);
}

void waitNanoseconds(std::int64_t nanoseconds) {
    if (nanoseconds <= 0) return;
    LARGE_INTEGER frequency{}, start{}, now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const double counts = static_cast<double>(nanoseconds) * frequency.QuadPart / 1e9;
    do {
        SwitchToThread();
        QueryPerformanceCounter(&now);
    } while (static_cast<double>(now.QuadPart - start.QuadPart) < counts);
}

void* loadLibrary(const std::string& name) {
    return reinterpret_cast<void*>(LoadLibraryW(wideText(name).c_str()));
}

void* findSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void freeLibrary(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
}

std::filesystem::path modulePathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

namespace {
void (*consoleHandler)() = nullptr;
std::atomic<int> lastEvent{0};

BOOL WINAPI onControlEvent(DWORD event) {
    lastEvent.store(static_cast<int>(event) + 1);
    if (consoleHandler != nullptr) consoleHandler();
    return TRUE;
}
} // namespace

int lastConsoleEvent() {
    return lastEvent.load();
}

void endAsConsoleEvent(int event) {
    if (event == 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

void installConsoleEventHandler(void (*handler)()) {
    consoleHandler = handler;
    SetConsoleCtrlHandler(onControlEvent, TRUE);
}

void setEnvironment(const std::string& name, const std::string& value) {
    _wputenv_s(wideText(name).c_str(), wideText(value).c_str());
}

void unsetEnvironment(const std::string& name) {
    _wputenv_s(wideText(name).c_str(), L"");
}

void ignoreClosedPipes() {}

void setConsoleLocale() {
    std::setlocale(LC_ALL, "Japanese_Japan.932");
}

void writeErrorLine(std::wstring_view text) {
    for (wchar_t c : text)
        std::fputwc(c, stderr);
    std::fputwc(L'\n', stderr);
    std::fflush(stderr);
}

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

bool standardInputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

namespace {
bool keyInput = false;
} // namespace

bool beginKeyInput() {
    keyInput = standardInputIsTerminal();
    return keyInput;
}

int readKey() {
    constexpr int leftCode = 0x4B;
    constexpr int rightCode = 0x4D;
    constexpr int upCode = 0x48;
    constexpr int downCode = 0x50;
    if (!keyInput || _kbhit() == 0) return -1;
    const int key = _getch();
    // Function and arrow keys come as two codes: the arrows are named, the
    // others dropped.
    if (key == 0 || key == 0xE0) {
        switch (_getch()) {
        case leftCode: return KeySequence::arrowLeft;
        case rightCode: return KeySequence::arrowRight;
        case upCode: return KeySequence::arrowUp;
        case downCode: return KeySequence::arrowDown;
        default: return -1;
        }
    }
    return key;
}

void suspendProcess() {}

void endKeyInput() {
    keyInput = false;
}

std::filesystem::path findFileIgnoringCase(const std::filesystem::path& directory,
                                           const std::string& name) {
    std::filesystem::path path = directory / wideText(name);
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {};
    return path;
}

} // namespace platform
