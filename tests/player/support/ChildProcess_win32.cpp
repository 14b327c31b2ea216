// Test support on Windows: see ChildProcess.h. Children share a console of
// this process's own, made at the first start, so that a console event can
// reach them: sendSignal raises Ctrl+C for every process on that console, and
// this process ignores it itself. Every signal number becomes that one event.
#include "ChildProcess.h"

#include "common/WideText.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace {

BOOL WINAPI ignoreEvent(DWORD) {
    return TRUE;
}

void ensureOwnConsole() {
    static std::once_flag once;
    std::call_once(once, [] {
        SetConsoleCtrlHandler(ignoreEvent, TRUE);
        FreeConsole();
        AllocConsole();
    });
}

// Appends one argument quoted as the C runtime splits command lines.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    }
};

// This process's environment with the extra "NAME=value" entries in place.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
    std::map<std::wstring, std::wstring, NoCase> entries;
    auto add = [&](const std::wstring& entry) {
        const auto equals = entry.find(L'=', 1);
        if (equals != std::wstring::npos) entries[entry.substr(0, equals)] = entry;
    };
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1)
        add(p);
    FreeEnvironmentStringsW(strings);
    for (const std::string& entry : extra)
        add(platform::wideText(entry));
    std::wstring block;
    for (const auto& [name, entry] : entries)
        block += entry + L'\0';
    block += L'\0';
    return block;
}

HANDLE inheritableFile(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& workDirectory,
                           const std::vector<std::string>& environment)
    : directory_(workDirectory) {
    ensureOwnConsole();
    HANDLE out = inheritableFile(workDirectory / "stdout.txt", GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(workDirectory / "stderr.txt", GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE in = inheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    std::wstring line;
    appendQuoted(line, program.wstring());
    for (const std::string& argument : arguments) {
        line += L' ';
        appendQuoted(line, platform::wideText(argument));
    }
    std::wstring block = environmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), workDirectory.c_str(), &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
    for (HANDLE handle : {out, err, in})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

ChildProcess::~ChildProcess() {
    if (process_ != nullptr) {
        TerminateProcess(process_, 137);
        WaitForSingleObject(process_, INFINITE);
        CloseHandle(process_);
    }
}

void ChildProcess::sendSignal(int) const {
    if (process_ != nullptr) GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}

ChildExit ChildProcess::wait(std::chrono::milliseconds timeout) {
    ChildExit result;
    if (process_ == nullptr) return result;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        result.exited = true;
        result.code = static_cast<int>(code);
    } else {
        TerminateProcess(process_, 137);
        WaitForSingleObject(process_, INFINITE);
    }
    CloseHandle(process_);
    process_ = nullptr;
    return result;
}
