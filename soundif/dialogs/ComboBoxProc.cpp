// CComboBoxProc: see ComboBoxProc.h.
#include "soundif/dialogs/ComboBoxProc.h"

int CComboBoxProc::addString(const std::string& text) {
    return windowBinding().comboAddString(window(), text);
}

int CComboBoxProc::count() const {
    return windowBinding().comboCount(window());
}

int CComboBoxProc::selection() const {
    return windowBinding().comboSelection(window());
}

void CComboBoxProc::select(int index) {
    windowBinding().comboSelect(window(), index);
}
