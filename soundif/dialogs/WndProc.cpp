// CWndProc's default handlers and its text and enable operations.
#include "soundif/dialogs/WndProc.h"

#include "soundif/dialogs/DecimalText.h"
#include "soundif/dialogs/WindowMap.h"

CWndProc::~CWndProc() {
    destroyWindow();
}

int CWndProc::destroyWindow() {
    WindowHandle window = base.window;
    if (window == nullptr) return 0;
    bool known = findWindowObject(window) != nullptr;
    bool destroyed = windowBinding().destroyWindow(window);
    if (!known) detachWindow(this);
    return destroyed ? 1 : 0;
}

int CWndProc::onCommand(std::uint32_t, MessageParam) {
    return 0;
}

int CWndProc::onNotify(MessageParam, MessageParam, MessageResult&) {
    return 0;
}

void CWndProc::onNcDestroy(MessageParam first, MessageParam second) {
    WindowBinding& binding = windowBinding();
    WindowHandle window = base.window;
    ProcedureRef current = binding.windowProcedure(window);
    callPrevious(WindowMessage::ncDestroy, first, second);
    if (binding.windowProcedure(window) == current && base.previousProc != ProcedureRef::none) {
        binding.setWindowProcedure(window, base.previousProc);
        base.previousProc = ProcedureRef::none;
    }
    detachWindow(this);
    onDetach();
}

MessageResult CWndProc::windowProc(WindowMessage message, MessageParam first, MessageParam second) {
    switch (message) {
    case WindowMessage::command:
        if (onCommand(static_cast<std::uint32_t>(first), second) != 0) return 0;
        break;
    case WindowMessage::notify: {
        const auto* header = reinterpret_cast<const NotifyHeader*>(second);
        if (header == nullptr || header->source == nullptr) break;
        MessageResult result = 0;
        if (onNotify(first, second, result) != 0) return result;
        break;
    }
    case WindowMessage::ncDestroy: onNcDestroy(first, second); return 0;
    default: break;
    }
    return callPrevious(message, first, second);
}

MessageResult CWndProc::callPrevious(WindowMessage message, MessageParam first,
                                     MessageParam second) {
    WindowBinding& binding = windowBinding();
    if (base.previousProc != ProcedureRef::none)
        return binding.callWindowProcedure(base.previousProc, base.window, message, first, second);
    return binding.defaultWindowProc(base.window, message, first, second);
}

std::string CWndProc::text() const {
    return windowBinding().windowText(base.window);
}

void CWndProc::setText(const std::string& text) {
    windowBinding().setWindowText(base.window, text);
}

std::uint32_t CWndProc::textAsUnsigned() const {
    return readUnsignedDecimal(text());
}

void CWndProc::setTextUnsigned(std::uint32_t value) {
    setText(unsignedDecimalText(value));
}

void CWndProc::enable(bool enable) {
    windowBinding().enableWindow(base.window, enable);
}
