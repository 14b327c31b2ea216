// CConfigDlg: the settings dialog (template 101). Lists the interface boards
// that can be opened right now as "ftd2xx(COM<n>)" and, on "&Setup", runs the
// board setup dialog on the selected board's section of the INI file, saving
// it when that dialog ends with OK. It reads and writes only the INI file it
// is given; open interfaces are not touched. The INI path and the device
// functions are given to the dialog rather than found by it, because it runs
// in a module of its own (and, in tests, on a table of fake devices).
#pragma once

#include "soundif/device/D2xxFunctions.h"
#include "soundif/dialogs/ComboData.h"
#include "soundif/dialogs/DlgProc.h"

#include <cstdint>
#include <filesystem>
#include <vector>

// Fills ports with the COM port numbers of the devices that can be opened
// now, in the driver's device order; returns the status of the device count
// query. Devices that cannot be opened (held by another process) are left out.
FT_STATUS listAttachedPorts(const D2xxFunctions& devices, std::vector<std::int32_t>& ports);

class CConfigDlg : public CDlgProc {
public:
    CConfigDlg(std::filesystem::path iniPath, const D2xxFunctions& devices,
               WindowHandle owner = nullptr);

    int onCommand(std::uint32_t command, MessageParam control) override;
    int onInitDialog() override;

private:
    CComboData interfaceList;
    std::filesystem::path iniPath;
    const D2xxFunctions& devices;
};
