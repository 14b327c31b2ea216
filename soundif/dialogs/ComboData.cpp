// CComboData: see ComboData.h.
#include "soundif/dialogs/ComboData.h"

int CComboData::addEntry(const std::string& text, std::intptr_t data) {
    int index = addString(text);
    if (index >= 0) windowBinding().comboSetItemData(window(), index, data);
    return index;
}

std::intptr_t CComboData::itemData(int index) const {
    return windowBinding().comboItemData(window(), index);
}

bool CComboData::selectData(std::intptr_t data) {
    for (int index = 0, entries = count(); index < entries; ++index) {
        if (itemData(index) == data) {
            select(index);
            return true;
        }
    }
    return false;
}

std::intptr_t CComboData::selectedData(std::intptr_t fallback) const {
    int index = selection();
    return index < 0 ? fallback : itemData(index);
}
