// Finding, reading and driving dialogs from another thread.
#include "WindowDriver.h"

#include <cstdlib>
#include <thread>

std::string displayMissing() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return "no X display (DISPLAY is not set): run under xvfb-run";
    // Brings up the session's desktop before the first window: under Wine a
    // window made while a freshly started desktop is still coming up gets no
    // display driver, and neither would a child process's.
    GetDesktopWindow();
    return {};
}

namespace {
HWND visibleDialog(const wchar_t* caption) {
    HWND found = FindWindowW(L"#32770", caption);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}
} // namespace

HWND waitForDialog(const wchar_t* caption, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (HWND found = visibleDialog(caption)) return found;
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

bool waitUntilClosed(const wchar_t* caption, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (visibleDialog(caption) == nullptr) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::wstring> comboEntries(HWND combo) {
    std::vector<std::wstring> entries;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        std::wstring entry(static_cast<std::size_t>(
                               SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0)),
                           L'\0');
        entry.resize(
            static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                                  reinterpret_cast<LPARAM>(entry.data()))));
        entries.push_back(entry);
    }
    return entries;
}

std::vector<LRESULT> comboItemData(HWND combo) {
    std::vector<LRESULT> data;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index)
        data.push_back(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    return data;
}

int comboSelection(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

std::vector<std::wstring> controlTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        texts.push_back(textOf(child));
    return texts;
}

void click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void pick(HWND dialog, int id, int index) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
