// Win32Binding: the WindowBinding on the Win32 user interface. Dialogs are
// the library's dialog resources run by DialogBoxParamW; the system's dialog
// manager creates the controls, and the loading thread's CBT hook
// (DialogSupport.h) binds the dialog window to its pending object. Window
// handles are HWNDs, messages pass through unchanged, a window's procedure
// slot is its GWLP_WNDPROC value (called through CallWindowProcW, since it
// may be a handle), and text is converted between UTF-8 and UTF-16 here.
// The real procedures the system calls, the shared window procedure and the
// dialog procedure, forward to their neutral counterparts in WindowMap.h.
#pragma once

#include "soundif/dialogs/WindowBinding.h"

class Win32Binding final : public WindowBinding {
public:
    MessageResult runModalDialog(int templateId, WindowHandle owner) override;
    void endDialog(WindowHandle dialog, MessageResult result) override;
    bool destroyWindow(WindowHandle window) override;
    WindowHandle dialogItem(WindowHandle dialog, int id) override;

    ProcedureRef windowProcedure(WindowHandle window) override;
    void setWindowProcedure(WindowHandle window, ProcedureRef procedure) override;
    ProcedureRef sharedProcedure() override;
    MessageResult callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                      WindowMessage message, MessageParam first,
                                      MessageParam second) override;
    MessageResult defaultWindowProc(WindowHandle window, WindowMessage message, MessageParam first,
                                    MessageParam second) override;

    int comboAddString(WindowHandle combo, const std::string& text) override;
    bool comboSetItemData(WindowHandle combo, int index, std::intptr_t data) override;
    std::intptr_t comboItemData(WindowHandle combo, int index) override;
    int comboCount(WindowHandle combo) override;
    int comboSelection(WindowHandle combo) override;
    void comboSelect(WindowHandle combo, int index) override;

    std::string windowText(WindowHandle window) override;
    void setWindowText(WindowHandle window, const std::string& text) override;
    void enableWindow(WindowHandle window, bool enable) override;
    void messageBox(WindowHandle owner, const std::string& text,
                    const std::string& caption) override;
};
