// WindowBinding: what the dialog classes need of a windowing toolkit, and
// nothing more. A binding (GTK on Linux, Win32 on Windows) creates dialogs
// from the templates in DialogResources, runs them modally, delivers their
// events as the messages below to each window's current window procedure, and
// offers the few control operations the dialogs use. The dialog logic sees
// only this interface and never a toolkit header.
//
// Messages follow the classic dialog model and carry its message numbers, so
// that the Win32 binding passes every message through unchanged: a command
// word carries the control id in its low 16 bits and the notification in its
// high 16 bits; closing a dialog's window sends the cancel command (id 2).
#pragma once

#include <cstdint>
#include <string>

using WindowHandle = void*;
using MessageParam = std::uintptr_t;
using MessageResult = std::intptr_t;

// The messages the dialog logic handles; any other number passes through it
// to the window's previous procedure.
enum class WindowMessage : unsigned {
    notify = 0x004E,     // second parameter: a NotifyHeader*
    ncDestroy = 0x0082,  // the window is going away; last message it gets
    initDialog = 0x0110, // sent to the dialog procedure once, before the dialog shows
    command = 0x0111,    // first parameter: command word; second: the control's handle
};

// Laid out like the Win32 notification header.
struct NotifyHeader {
    WindowHandle source;
    std::uintptr_t id;
    std::uint32_t code;
};

using WindowProcedure = MessageResult (*)(WindowHandle, WindowMessage, MessageParam, MessageParam);

// What a window's procedure slot holds, as its binding keeps it: the
// binding's own procedure for the window, the shared window procedure of the
// dialog logic, or on Win32 whatever the system put there (possibly a handle
// rather than an address). The dialog logic only compares, keeps and hands
// back such values; the binding calls them.
enum class ProcedureRef : std::uintptr_t { none = 0 };

// For bindings whose slots hold WindowProcedure addresses.
inline ProcedureRef procedureRef(WindowProcedure procedure) {
    return static_cast<ProcedureRef>(reinterpret_cast<std::uintptr_t>(procedure));
}
inline WindowProcedure windowProcedureOf(ProcedureRef procedure) {
    return reinterpret_cast<WindowProcedure>(static_cast<std::uintptr_t>(procedure));
}

inline constexpr std::uint32_t idOk = 1;
inline constexpr std::uint32_t idCancel = 2;
inline constexpr std::uint32_t notifyClicked = 0;    // push button pressed
inline constexpr std::uint32_t notifySelChange = 1;  // combo box selection changed
inline constexpr std::uint32_t notifyEditChange = 5; // combo box text edited

constexpr std::uint32_t commandWord(std::uint32_t id, std::uint32_t notification) {
    return (id & 0xFFFFu) | (notification << 16);
}

class WindowBinding {
public:
    virtual ~WindowBinding() = default;

    // Creates the dialog of the template, hands the new window to
    // bindCreatedWindow (WindowMap.h) before any message reaches it (on Win32
    // the creation hook of the library's loading thread does that), sends
    // initDialog to dialogProcedure and, unless the dialog ended during it,
    // shows the dialog and runs it until endDialog. Destroys the window and
    // returns the endDialog result; -1 when the template does not exist.
    virtual MessageResult runModalDialog(int templateId, WindowHandle owner) = 0;
    virtual void endDialog(WindowHandle dialog, MessageResult result) = 0;
    virtual bool destroyWindow(WindowHandle window) = 0;
    virtual WindowHandle dialogItem(WindowHandle dialog, int id) = 0;

    // Subclassing: each window has a current procedure, initially the
    // binding's own for that window; the binding routes every message of the
    // window through it.
    virtual ProcedureRef windowProcedure(WindowHandle window) = 0;
    virtual void setWindowProcedure(WindowHandle window, ProcedureRef procedure) = 0;
    // The slot value that routes a window's messages to sharedWindowProc.
    virtual ProcedureRef sharedProcedure() = 0;
    virtual MessageResult callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                              WindowMessage message, MessageParam first,
                                              MessageParam second) = 0;
    virtual MessageResult defaultWindowProc(WindowHandle window, WindowMessage message,
                                            MessageParam first, MessageParam second) = 0;

    // Combo boxes (drop-down lists and editable drop-down boxes). Indexes
    // count from 0; -1 means none.
    virtual int comboAddString(WindowHandle combo, const std::string& text) = 0;
    virtual bool comboSetItemData(WindowHandle combo, int index, std::intptr_t data) = 0;
    virtual std::intptr_t comboItemData(WindowHandle combo, int index) = 0;
    virtual int comboCount(WindowHandle combo) = 0;
    virtual int comboSelection(WindowHandle combo) = 0;
    // Selecting from code sends no notification.
    virtual void comboSelect(WindowHandle combo, int index) = 0;

    // Any window: its text (a drop-down list's text is its selected entry's),
    // enabling, and a modal message box with one OK button.
    virtual std::string windowText(WindowHandle window) = 0;
    virtual void setWindowText(WindowHandle window, const std::string& text) = 0;
    virtual void enableWindow(WindowHandle window, bool enable) = 0;
    virtual void messageBox(WindowHandle owner, const std::string& text,
                            const std::string& caption) = 0;
};

// The binding the dialog classes use; installed by whoever runs a dialog.
void installWindowBinding(WindowBinding* binding);
WindowBinding& windowBinding();
