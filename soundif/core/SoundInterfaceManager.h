// CSoundInterfaceManager: the library's manager. openInterfaces reads the INI
// file and has one board interface built per board section, keeping those
// that end up with chips; acquireChip hands out free chips by type and clock,
// the first free match in list and position order winning. The manager takes
// no lock: clients call it from one thread.
//
// What the manager reaches beyond itself is given at construction (Services):
// the INI path, the device functions, the factory that builds a board
// interface (a CSoundInterfaceFtd2xx in the library) and the settings dialog.
// The library's export wires in its own; tests give a manager of their own a
// file and devices of their own. The INI path and the device functions are
// asked for when they are needed, not at construction.
#pragma once

#include "soundif/core/BoardSettings.h"
#include "soundif/core/SoundInterface.h"
#include "soundif/device/D2xxFunctions.h"
#include "tavro/SoundInterface.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

class CSoundInterfaceManager : public SoundInterfaceManager {
public:
    using PathSource = std::filesystem::path (*)();
    using DeviceSource = const D2xxFunctions& (*)();
    // Builds the interface of one board section (never null).
    using InterfaceFactory = std::unique_ptr<CSoundInterface> (*)(const BoardSettings& settings,
                                                                  const D2xxFunctions& devices);
    // Runs the settings dialog modally on the INI file; 1 when it closes.
    using DialogRunner = std::int32_t (*)(const std::filesystem::path& iniPath,
                                          const D2xxFunctions& devices);

    struct Services {
        PathSource iniPath;
        DeviceSource devices;
        InterfaceFactory makeInterface;
        DialogRunner runSettingsDialog;
    };

    explicit CSoundInterfaceManager(const Services& services);
    // Closes whatever is still open.
    ~CSoundInterfaceManager() override;

    std::int32_t interfaceCount() override;
    SoundInterfaceInfo* interfaceInfoAt(std::uint32_t index) override;
    SoundInterface* interfaceAt(std::uint32_t index) override;
    std::int32_t isValidInterface(SoundInterface* soundInterface) override;
    std::int32_t reserved4() override { return 1; }
    SoundChip* acquireChip(std::int32_t type, std::int32_t clock) override;
    std::int32_t releaseChip(SoundChip* chip) override;
    std::int32_t releaseAllChips() override;
    std::int32_t setSendDelay(std::int32_t milliseconds) override;
    std::int32_t getSendDelay() override { return sendDelay; }
    std::int32_t resetInterfaces() override;
    std::int32_t initAllChips() override;
    std::int32_t openInterfaces() override;
    std::int32_t closeInterfaces() override;
    std::int32_t showSettingsDialog() override;
    std::int32_t reserved15(std::int32_t* out) override;
    std::int32_t reserved16() override { return 0; }
    std::int32_t reserved17() override { return 0; }
    void reserved18(std::int32_t) override {}
    void reserved19(std::int32_t) override {}
    void reserved20() override {}
    void reserved21() override {}
    void reserved22(std::int32_t) override {}
    void reserved23(std::int32_t) override {}
    std::int32_t reserved24(std::int32_t) override { return 0; }
    std::int32_t reserved25() override { return 1; }

private:
    Services services;
    std::vector<std::unique_ptr<CSoundInterface>> interfaces;
    std::int32_t sendDelay = 0;
};
