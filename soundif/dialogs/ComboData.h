// A combo box whose entries each carry a number, the item data, by which
// they are found and selected.
#pragma once

#include "soundif/dialogs/ComboBoxProc.h"

#include <cstdint>
#include <string>

class CComboData : public CComboBoxProc {
public:
    // Adds an entry carrying data; an entry that cannot be added gets none.
    int addEntry(const std::string& text, std::intptr_t data);
    std::intptr_t itemData(int index) const;
    // Selects the first entry whose data equals data; leaves the selection
    // alone when there is none.
    bool selectData(std::intptr_t data);
    // The selected entry's data, or fallback with no selection.
    std::intptr_t selectedData(std::intptr_t fallback) const;
};
