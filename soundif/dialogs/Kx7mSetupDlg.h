// CKx7mSetupDlg: the board setup dialog (template 102). Edits three values of
// one board's settings: the link speed, the board or chip type and the chip
// clock. The record is changed only by OK; Cancel leaves it as it was.
#pragma once

#include "soundif/core/BoardSettings.h"
#include "soundif/dialogs/ComboData.h"
#include "soundif/dialogs/DlgProc.h"

class CKx7mSetupDlg : public CDlgProc {
public:
    CKx7mSetupDlg(BoardSettings& settings, WindowHandle owner);

    int onCommand(std::uint32_t command, MessageParam control) override;
    int onInitDialog() override;
    void onOK() override;

private:
    // Enables the clock box for a chip type other than 0 and empties it
    // otherwise.
    void showClockBoxFor(std::intptr_t chipType);

    BoardSettings* settings;
    CComboData speedList;
    CComboData chipTypeList;
    CComboBoxProc clockBox;
};
