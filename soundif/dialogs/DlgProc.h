// CDlgProc: a modal dialog built from a template of the dialog resources. The
// object binds to its dialog window when the binding creates it (through the
// pending-dialog slot of WindowMap.h); OK and Cancel commands reach onOK and
// onCancel, everything else CWndProc's handlers.
#pragma once

#include "soundif/dialogs/WndProc.h"

class CDlgProc : public CWndProc {
public:
    CDlgProc(int templateId, WindowHandle owner) : templateId(templateId), owner(owner) {}

    MessageResult windowProc(WindowMessage message, MessageParam first,
                             MessageParam second) override;
    // Runs the dialog and returns its result (-1 when it cannot be created).
    virtual MessageResult doModal();
    // Returns 1 to let the dialog take its default focus.
    virtual int onInitDialog() { return 1; }
    virtual void onOK() { endDialog(1); }
    virtual void onCancel() { endDialog(2); }

protected:
    WindowHandle dialogItem(int id) const;
    void endDialog(MessageResult result);

private:
    int templateId;
    WindowHandle owner;
};
