// CDlgProc: modal run, OK and Cancel routing.
#include "soundif/dialogs/DlgProc.h"

#include "soundif/dialogs/WindowMap.h"

MessageResult CDlgProc::windowProc(WindowMessage message, MessageParam first, MessageParam second) {
    if (message == WindowMessage::command) {
        switch (first & 0xFFFFu) {
        case idOk: onOK(); return 1;
        case idCancel: onCancel(); return 1;
        default: break;
        }
    }
    return CWndProc::windowProc(message, first, second);
}

MessageResult CDlgProc::doModal() {
    setPendingDialog(this);
    MessageResult result = windowBinding().runModalDialog(templateId, owner);
    if (pendingDialog() == this) {
        setPendingDialog(nullptr);
        onDetach();
    }
    return result;
}

WindowHandle CDlgProc::dialogItem(int id) const {
    return windowBinding().dialogItem(window(), id);
}

void CDlgProc::endDialog(MessageResult result) {
    windowBinding().endDialog(window(), result);
}
