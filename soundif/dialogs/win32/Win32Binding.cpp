// The Win32 binding's calls and its two system-facing procedures.
#include "soundif/dialogs/win32/Win32Binding.h"

#include "common/WideText.h"
#include "soundif/dialogs/WindowMap.h"
#include "soundif/dialogs/win32/DialogSupport.h"

#include <windows.h>

namespace {
HWND hwnd(WindowHandle window) {
    return static_cast<HWND>(window);
}

WindowMessage windowMessage(UINT message) {
    return static_cast<WindowMessage>(message);
}

LRESULT CALLBACK sharedWndProc(HWND window, UINT message, WPARAM first, LPARAM second) {
    return sharedWindowProc(window, windowMessage(message), first,
                            static_cast<MessageParam>(second));
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM first, LPARAM second) {
    return dialogProcedure(dialog, windowMessage(message), first,
                           static_cast<MessageParam>(second));
}

LRESULT send(WindowHandle window, UINT message, WPARAM first, LPARAM second) {
    return SendMessageW(hwnd(window), message, first, second);
}
} // namespace

MessageResult Win32Binding::runModalDialog(int templateId, WindowHandle owner) {
    return DialogBoxParamW(libraryModule(), MAKEINTRESOURCEW(templateId), hwnd(owner), dialogProc,
                           0);
}

void Win32Binding::endDialog(WindowHandle dialog, MessageResult result) {
    EndDialog(hwnd(dialog), result);
}

bool Win32Binding::destroyWindow(WindowHandle window) {
    return DestroyWindow(hwnd(window)) != FALSE;
}

WindowHandle Win32Binding::dialogItem(WindowHandle dialog, int id) {
    return GetDlgItem(hwnd(dialog), id);
}

ProcedureRef Win32Binding::windowProcedure(WindowHandle window) {
    return static_cast<ProcedureRef>(GetWindowLongPtrW(hwnd(window), GWLP_WNDPROC));
}

void Win32Binding::setWindowProcedure(WindowHandle window, ProcedureRef procedure) {
    SetWindowLongPtrW(hwnd(window), GWLP_WNDPROC, static_cast<LONG_PTR>(procedure));
}

ProcedureRef Win32Binding::sharedProcedure() {
    return static_cast<ProcedureRef>(reinterpret_cast<std::uintptr_t>(&sharedWndProc));
}

MessageResult Win32Binding::callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                                WindowMessage message, MessageParam first,
                                                MessageParam second) {
    return CallWindowProcW(reinterpret_cast<WNDPROC>(static_cast<std::uintptr_t>(procedure)),
                           hwnd(window), static_cast<UINT>(message), first,
                           static_cast<LPARAM>(second));
}

MessageResult Win32Binding::defaultWindowProc(WindowHandle window, WindowMessage message,
                                              MessageParam first, MessageParam second) {
    return DefWindowProcW(hwnd(window), static_cast<UINT>(message), first,
                          static_cast<LPARAM>(second));
}

int Win32Binding::comboAddString(WindowHandle combo, const std::string& text) {
    const std::wstring wide = platform::wideText(text);
    const LRESULT index = send(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return index < 0 ? -1 : static_cast<int>(index);
}

bool Win32Binding::comboSetItemData(WindowHandle combo, int index, std::intptr_t data) {
    return send(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data) != CB_ERR;
}

std::intptr_t Win32Binding::comboItemData(WindowHandle combo, int index) {
    return send(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int Win32Binding::comboCount(WindowHandle combo) {
    const LRESULT count = send(combo, CB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<int>(count);
}

int Win32Binding::comboSelection(WindowHandle combo) {
    const LRESULT index = send(combo, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : static_cast<int>(index);
}

void Win32Binding::comboSelect(WindowHandle combo, int index) {
    send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string Win32Binding::windowText(WindowHandle window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd(window))) + 1, L'\0');
    const int length = GetWindowTextW(hwnd(window), text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return platform::utf8Text(text);
}

void Win32Binding::setWindowText(WindowHandle window, const std::string& text) {
    SetWindowTextW(hwnd(window), platform::wideText(text).c_str());
}

void Win32Binding::enableWindow(WindowHandle window, bool enable) {
    EnableWindow(hwnd(window), enable ? TRUE : FALSE);
}

void Win32Binding::messageBox(WindowHandle owner, const std::string& text,
                              const std::string& caption) {
    MessageBoxW(hwnd(owner), platform::wideText(text).c_str(), platform::wideText(caption).c_str(),
                MB_OK);
}
