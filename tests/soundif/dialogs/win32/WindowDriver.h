// Playing the user of real Win32 dialogs from a thread of the test's own
// while the dialog's thread (or another process) runs it modally: finding a
// dialog by caption, reading its controls, and clicking or picking as the
// controls themselves report it (a posted command message), so that a nested
// modal loop never blocks the driving thread. Tests that show windows need an
// X display under Wine: displayMissing() tells why they cannot run.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// Empty when a display is there, and then the session's desktop is up;
// otherwise the reason, for GTEST_SKIP.
std::string displayMissing();

// The visible dialog with that caption, or null after the timeout.
HWND waitForDialog(const wchar_t* caption, std::chrono::milliseconds timeout = 30s);
// True once no visible dialog has that caption.
bool waitUntilClosed(const wchar_t* caption, std::chrono::milliseconds timeout = 30s);

std::wstring textOf(HWND window); // through WM_GETTEXT, also across processes
std::vector<std::wstring> comboEntries(HWND combo);
std::vector<LRESULT> comboItemData(HWND combo);
int comboSelection(HWND combo);
// The texts of a dialog's controls, in creation order.
std::vector<std::wstring> controlTexts(HWND dialog);

// A button's click as it reaches its dialog.
void click(HWND dialog, int id);
// Selects entry index of a list and tells the dialog, as a user's pick does.
void pick(HWND dialog, int id, int index);
