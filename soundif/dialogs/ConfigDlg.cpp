// The settings dialog's handlers and the listing of attached boards.
#include "soundif/dialogs/ConfigDlg.h"

#include "soundif/core/BoardSettings.h"
#include "soundif/core/IniFile.h"
#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/Kx7mSetupDlg.h"
#include "soundif/dialogs/WindowMap.h"

#include <utility>

FT_STATUS listAttachedPorts(const D2xxFunctions& devices, std::vector<std::int32_t>& ports) {
    ports.clear();
    std::uint32_t count = 0;
    FT_STATUS status = devices.listDevices(&count, nullptr, ftListNumberOnly);
    if (status != ftOk || count == 0) return status;
    for (std::uint32_t index = 0; index < count; ++index) {
        FT_HANDLE handle = nullptr;
        FT_STATUS opened = devices.open(static_cast<std::int32_t>(index), &handle);
        std::int32_t port = 0;
        if (opened == ftOk && devices.getComPortNumber(handle, &port) == ftOk)
            ports.push_back(port);
        if (handle != nullptr) devices.close(handle);
    }
    return status;
}

CConfigDlg::CConfigDlg(std::filesystem::path iniPath, const D2xxFunctions& devices,
                       WindowHandle owner)
    : CDlgProc(settingsDialogTemplate, owner), iniPath(std::move(iniPath)), devices(devices) {}

int CConfigDlg::onInitDialog() {
    std::vector<std::int32_t> ports;
    listAttachedPorts(devices, ports);
    if (ports.empty()) {
        windowBinding().messageBox(window(), loadResourceString(noInterfaceMessageString),
                                   loadResourceString(messageCaptionString));
        endDialog(0);
        return 0;
    }
    attachWindow(&interfaceList, dialogItem(interfaceListId));
    for (std::int32_t port : ports)
        interfaceList.addEntry(boardSectionName(port), port);
    interfaceList.select(0);
    return 1;
}

int CConfigDlg::onCommand(std::uint32_t command, MessageParam) {
    if ((command & 0xFFFFu) != setupButtonId) return 0;
    auto port = static_cast<std::int32_t>(interfaceList.selectedData(0));
    if (port == 0) return 1;
    BoardSettings record;
    record.port = port;
    loadBoardSettings(record, iniPath);
    CKx7mSetupDlg setup(record, window());
    if (setup.doModal() != 1) return 1;
    // The user's own file is saved for the first time into a folder that may
    // not exist yet.
    std::error_code ignored;
    std::filesystem::create_directories(iniPath.parent_path(), ignored);
    if (!saveBoardSettings(record, iniPath)) {
        // An INI file the user may not write (a library installed for all
        // users) must not look saved.
        std::string text = loadResourceString(saveFailedMessageString) + "\r\n" + iniPath.string();
        if (const std::string note = iniFileLocationNote(); !note.empty()) text += "\r\n" + note;
        windowBinding().messageBox(window(), text, loadResourceString(messageCaptionString));
    }
    return 1;
}
