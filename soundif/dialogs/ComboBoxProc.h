// A combo box of a dialog, bound like any other window object: its entries
// are added, counted and selected through the current WindowBinding.
#pragma once

#include "soundif/dialogs/WndProc.h"

#include <string>

class CComboBoxProc : public CWndProc {
public:
    int addString(const std::string& text); // index of the new entry, -1 on failure
    int count() const;
    int selection() const; // -1 with no selection
    void select(int index);
};
