// CSoundInterfaceManager: the library's manager. openInterfaces reads the INI
// file and opens one CSoundInterfaceFtd2xx per board section, keeping those
// that end up with chips; acquireChip hands out free chips by type and clock,
// the first free match in list and position order winning. The manager takes
// no lock: clients call it from one thread.
//
// The INI path is taken from a function given at construction (iniFilePath
// for the library's own manager), so that tests can point a manager of their
// own at a file of their own.
#pragma once

#include "soundif/core/SoundInterfaceBase.h"
#include "tavro/SoundInterface.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

class CSoundInterfaceManager : public SoundInterfaceManager {
public:
    using PathSource = std::filesystem::path (*)();

    explicit CSoundInterfaceManager(PathSource iniPath);
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
    PathSource iniPath;
    std::vector<std::unique_ptr<CSoundInterface>> interfaces;
    std::int32_t sendDelay = 0;
};
