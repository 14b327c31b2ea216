// The library module, the loading thread and its CBT hook.
#include "soundif/dialogs/win32/DialogSupport.h"

#include "soundif/dialogs/WindowMap.h"
#include "soundif/dialogs/win32/Win32Binding.h"

namespace {
HINSTANCE module = nullptr;
HHOOK hook = nullptr;
Win32Binding binding;

// Every window created on the loading thread passes here before its first
// message; the first one after doModal is that dialog.
LRESULT CALLBACK onCbtEvent(int code, WPARAM first, LPARAM second) {
    if (code == HCBT_CREATEWND) bindCreatedWindow(reinterpret_cast<HWND>(first));
    return CallNextHookEx(hook, code, first, second);
}
} // namespace

void startDialogSupport(HINSTANCE libraryModule) {
    module = libraryModule;
    installWindowBinding(&binding);
    hook = SetWindowsHookExW(WH_CBT, onCbtEvent, nullptr, GetCurrentThreadId());
}

void stopDialogSupport() {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    hook = nullptr;
    installWindowBinding(nullptr);
}

HINSTANCE libraryModule() {
    return module;
}
