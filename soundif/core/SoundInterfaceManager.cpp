// CSoundInterfaceManager: see SoundInterfaceManager.h.
#include "soundif/core/SoundInterfaceManager.h"

#include "soundif/core/IniFile.h"
#include "soundif/core/IniText.h"

#include <string_view>

namespace {

constexpr std::string_view boardSectionPrefix = "ftd2xx(COM";
constexpr std::int32_t defaultSendDelay = 100;

bool matches(const SoundChipInfo& info, std::int32_t type, std::int32_t clock) {
    return (info.type == type && info.clock == clock) ||
           (info.altType[0] == type && info.altClock[0] == clock) ||
           (info.altType[1] == type && info.altClock[1] == clock);
}

template <typename Operation> std::int32_t allSucceed(auto& interfaces, Operation operation) {
    std::int32_t result = 1;
    for (auto& soundInterface : interfaces)
        if (operation(*soundInterface) == 0) result = 0;
    return result;
}

} // namespace

CSoundInterfaceManager::CSoundInterfaceManager(const Services& services) : services(services) {}

CSoundInterfaceManager::~CSoundInterfaceManager() {
    closeInterfaces();
}

std::int32_t CSoundInterfaceManager::interfaceCount() {
    return static_cast<std::int32_t>(interfaces.size());
}

SoundInterfaceInfo* CSoundInterfaceManager::interfaceInfoAt(std::uint32_t index) {
    return index < interfaces.size() ? interfaces[index]->interfaceInfo() : nullptr;
}

SoundInterface* CSoundInterfaceManager::interfaceAt(std::uint32_t index) {
    return index < interfaces.size() ? interfaces[index].get() : nullptr;
}

std::int32_t CSoundInterfaceManager::isValidInterface(SoundInterface* soundInterface) {
    if (soundInterface == nullptr) return 0;
    for (auto& listed : interfaces)
        if (listed.get() == soundInterface) return 1;
    return 0;
}

SoundChip* CSoundInterfaceManager::acquireChip(std::int32_t type, std::int32_t clock) {
    if (type == 0 || clock == 0) return nullptr;
    for (auto& soundInterface : interfaces) {
        const std::int32_t count = soundInterface->chipCount();
        for (std::int32_t position = 0; position < count; ++position) {
            SoundChip* chip = soundInterface->chipAt(static_cast<std::uint32_t>(position));
            SoundChipInfo* info = chip->chipInfo();
            if (info->inUse != 0 || !matches(*info, type, clock)) continue;
            info->inUse = 1;
            return chip;
        }
    }
    return nullptr;
}

std::int32_t CSoundInterfaceManager::releaseChip(SoundChip* chip) {
    if (chip == nullptr) return 0;
    SoundChipInfo* info = chip->chipInfo();
    const std::int32_t previous = info->inUse;
    info->inUse = 0;
    return previous;
}

std::int32_t CSoundInterfaceManager::releaseAllChips() {
    for (auto& soundInterface : interfaces) {
        const std::int32_t count = soundInterface->chipCount();
        for (std::int32_t position = 0; position < count; ++position)
            releaseChip(soundInterface->chipAt(static_cast<std::uint32_t>(position)));
    }
    return 1;
}

std::int32_t CSoundInterfaceManager::setSendDelay(std::int32_t milliseconds) {
    sendDelay = milliseconds;
    return allSucceed(interfaces, [&](SoundInterface& i) { return i.setSendDelay(milliseconds); });
}

std::int32_t CSoundInterfaceManager::resetInterfaces() {
    return allSucceed(interfaces, [](SoundInterface& i) { return i.resetInterface(); });
}

std::int32_t CSoundInterfaceManager::initAllChips() {
    return allSucceed(interfaces, [](SoundInterface& i) { return i.initChips(); });
}

std::int32_t CSoundInterfaceManager::openInterfaces() {
    if (!interfaces.empty()) return 0;
    const std::filesystem::path path = services.iniPath();
    sendDelay = readIniInt(path, "tavro", "DelayTime", defaultSendDelay);
    for (const std::string& name : listSections(path)) {
        if (name.compare(0, boardSectionPrefix.size(), boardSectionPrefix) != 0) continue;
        BoardSettings settings;
        settings.port = parseDecimalInt(std::string_view(name).substr(boardSectionPrefix.size()));
        if (settings.port <= 0) continue;
        loadBoardSettings(settings, path);
        std::unique_ptr<CSoundInterface> soundInterface =
            services.makeInterface(settings, services.devices());
        if (soundInterface->chipCount() == 0) continue;
        soundInterface->setSendDelay(sendDelay);
        interfaces.push_back(std::move(soundInterface));
    }
    return interfaces.empty() ? 0 : 1;
}

std::int32_t CSoundInterfaceManager::closeInterfaces() {
    while (!interfaces.empty())
        interfaces.pop_back();
    return 1;
}

std::int32_t CSoundInterfaceManager::showSettingsDialog() {
    return services.runSettingsDialog(services.iniPath(), services.devices());
}

std::int32_t CSoundInterfaceManager::reserved15(std::int32_t* out) {
    if (out != nullptr) *out = 3;
    return 0;
}
