// The window map, the pending dialog, the shared window procedure and the
// dialog procedure: the toolkit-neutral half of binding objects to windows.
#include "soundif/dialogs/WindowMap.h"

#include "soundif/dialogs/DlgProc.h"

#include <map>

namespace {
WindowBinding* currentBinding = nullptr;
std::map<WindowHandle, CWndProc*> windowMap;
CDlgProc* pending = nullptr;

void bind(CWndProc* object, WindowHandle window) {
    windowMap[window] = object;
    object->wndBase().window = window;
    object->onAttach();
    WindowBinding& binding = windowBinding();
    ProcedureRef previous = binding.windowProcedure(window);
    ProcedureRef shared = binding.sharedProcedure();
    binding.setWindowProcedure(window, shared);
    if (previous != shared) object->wndBase().previousProc = previous;
}
} // namespace

void installWindowBinding(WindowBinding* binding) {
    currentBinding = binding;
}

WindowBinding& windowBinding() {
    return *currentBinding;
}

int attachWindow(CWndProc* object, WindowHandle window) {
    if (window == nullptr) return 0;
    bind(object, window);
    return 1;
}

WindowHandle detachWindow(CWndProc* object) {
    WindowHandle window = object->wndBase().window;
    auto entry = windowMap.find(window);
    if (entry != windowMap.end() && entry->second == object) windowMap.erase(entry);
    object->wndBase().window = nullptr;
    return window;
}

CWndProc* findWindowObject(WindowHandle window) {
    auto entry = windowMap.find(window);
    return entry == windowMap.end() ? nullptr : entry->second;
}

void setPendingDialog(CDlgProc* dialog) {
    pending = dialog;
}

CDlgProc* pendingDialog() {
    return pending;
}

void bindCreatedWindow(WindowHandle window) {
    if (pending == nullptr) return;
    if (window != nullptr) bind(pending, window);
    pending = nullptr;
}

MessageResult sharedWindowProc(WindowHandle window, WindowMessage message, MessageParam first,
                               MessageParam second) {
    if (CWndProc* object = findWindowObject(window))
        return object->windowProc(message, first, second);
    return windowBinding().defaultWindowProc(window, message, first, second);
}

MessageResult dialogProcedure(WindowHandle dialog, WindowMessage message, MessageParam,
                              MessageParam) {
    if (message != WindowMessage::initDialog) return 0;
    auto* object = dynamic_cast<CDlgProc*>(findWindowObject(dialog));
    return object != nullptr ? object->onInitDialog() : 1;
}
