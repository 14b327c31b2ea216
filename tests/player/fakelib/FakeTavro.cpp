// A stand-in for libtavro.so, built for the player's tests as a module named
// libtavro.so in its own folder. It honours the results the player relies on
// and appends one line per call it gets to the file named by TAVRO_FAKE_LOG:
//
//   load / unload                   the module is mapped / unmapped
//   getSoundInterfaceManager
//   openInterfaces -> 1             and resetInterfaces, releaseAllChips,
//                                   closeInterfaces
//   acquireChip 2 4000000 -> 1      chip number (from 1) or null
//   chipType 1 / chipInfo 1 / releaseChip 1
//   setRegister 1 0x18 0xff
//   unexpected <operation>          any other operation
//
// Settings, read at each call:
//   TAVRO_FAKE_MANAGER=null    the export returns null
//   TAVRO_FAKE_OPEN=0          openInterfaces returns 0
//   TAVRO_FAKE_CHIPS           the chips offered, comma-separated entries
//                              type:clock[:infoType], infoType being the type
//                              in the chip's info record or "none" for no
//                              record; default "2:4000000,2:4000000,6:2000000"
// Built with FAKE_TAVRO_NO_EXPORT it lacks the export. Built on Windows with
// FAKE_TAVRO_REFUSE_LOAD it logs "refused" and fails every load.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tavro/SoundInterface.h"

namespace {

std::string setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

void record(const std::string& line) {
    const std::string path = setting("TAVRO_FAKE_LOG", "");
    if (path.empty()) return;
    std::ofstream(path, std::ios::app) << line << '\n';
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

class FakeChip : public SoundChip {
public:
    FakeChip(int number, std::int32_t type, std::int32_t clock, bool hasInfo, std::int32_t infoType)
        : number(number), type(type), clock(clock), hasInfo(hasInfo) {
        info.type = infoType;
        info.clock = clock;
    }
    SoundChipInfo* chipInfo() override {
        record("chipInfo " + std::to_string(number));
        return hasInfo ? &info : nullptr;
    }
    std::int32_t chipType() override {
        record("chipType " + std::to_string(number));
        return type;
    }
    // Returns 0x100 + data so that a caller's handling of the result shows.
    std::int32_t setRegister(std::uint32_t address, std::uint32_t data) override {
        record("setRegister " + std::to_string(number) + " " + hex(address) + " " + hex(data));
        return static_cast<std::int32_t>(0x100 + data);
    }
    std::int32_t reserved3(std::int32_t) override { return unexpected("reserved3"); }
    std::int32_t init() override { return unexpected("init"); }
    std::int32_t chipClock() override { return unexpected("chipClock"); }
    std::int32_t getRegister(std::uint32_t) override { return unexpected("getRegister"); }
    std::int32_t reserved7() override { return unexpected("reserved7"); }

    static std::int32_t unexpected(const char* name) {
        record(std::string("unexpected ") + name);
        return 0;
    }

    int number;
    std::int32_t type;
    std::int32_t clock;
    bool hasInfo;
    bool inUse = false;
    SoundChipInfo info{};
};

class FakeManager : public SoundInterfaceManager {
public:
    std::int32_t interfaceCount() override { return unexpected("interfaceCount"); }
    SoundInterfaceInfo* interfaceInfoAt(std::uint32_t) override {
        unexpected("interfaceInfoAt");
        return nullptr;
    }
    SoundInterface* interfaceAt(std::uint32_t) override {
        unexpected("interfaceAt");
        return nullptr;
    }
    std::int32_t isValidInterface(SoundInterface*) override {
        return unexpected("isValidInterface");
    }
    std::int32_t reserved4() override { return unexpected("reserved4"); }

    SoundChip* acquireChip(std::int32_t type, std::int32_t clock) override {
        std::string line =
            "acquireChip " + std::to_string(type) + " " + std::to_string(clock) + " -> ";
        for (FakeChip& chip : chips_) {
            if (chip.inUse || chip.type != type || chip.clock != clock) continue;
            chip.inUse = true;
            record(line + std::to_string(chip.number));
            return &chip;
        }
        record(line + "null");
        return nullptr;
    }
    std::int32_t releaseChip(SoundChip* chip) override {
        auto* fake = static_cast<FakeChip*>(chip);
        record("releaseChip " + std::to_string(fake->number));
        const bool was = fake->inUse;
        fake->inUse = false;
        return was ? 1 : 0;
    }
    std::int32_t releaseAllChips() override {
        record("releaseAllChips");
        for (FakeChip& chip : chips_)
            chip.inUse = false;
        return 1;
    }
    std::int32_t setSendDelay(std::int32_t) override { return unexpected("setSendDelay"); }
    std::int32_t getSendDelay() override { return unexpected("getSendDelay"); }
    std::int32_t resetInterfaces() override {
        record("resetInterfaces");
        return 1;
    }
    std::int32_t initAllChips() override { return unexpected("initAllChips"); }
    std::int32_t openInterfaces() override {
        const bool opens = setting("TAVRO_FAKE_OPEN", "1") != "0";
        record(opens ? "openInterfaces -> 1" : "openInterfaces -> 0");
        if (opens) chips_ = configuredChips();
        return opens ? 1 : 0;
    }
    std::int32_t closeInterfaces() override {
        record("closeInterfaces");
        chips_.clear();
        return 1;
    }
    std::int32_t showSettingsDialog() override { return unexpected("showSettingsDialog"); }
    std::int32_t reserved15(std::int32_t*) override { return unexpected("reserved15"); }
    std::int32_t reserved16() override { return unexpected("reserved16"); }
    std::int32_t reserved17() override { return unexpected("reserved17"); }
    void reserved18(std::int32_t) override { unexpected("reserved18"); }
    void reserved19(std::int32_t) override { unexpected("reserved19"); }
    void reserved20() override { unexpected("reserved20"); }
    void reserved21() override { unexpected("reserved21"); }
    void reserved22(std::int32_t) override { unexpected("reserved22"); }
    void reserved23(std::int32_t) override { unexpected("reserved23"); }
    std::int32_t reserved24(std::int32_t) override { return unexpected("reserved24"); }
    std::int32_t reserved25() override { return unexpected("reserved25"); }

private:
    static std::int32_t unexpected(const char* name) { return FakeChip::unexpected(name); }

    static std::vector<FakeChip> configuredChips() {
        std::vector<FakeChip> result;
        std::stringstream entries(setting("TAVRO_FAKE_CHIPS", "2:4000000,2:4000000,6:2000000"));
        std::string entry;
        while (std::getline(entries, entry, ',')) {
            std::stringstream fields(entry);
            std::string type, clock, infoType;
            std::getline(fields, type, ':');
            std::getline(fields, clock, ':');
            std::getline(fields, infoType, ':');
            const auto typeCode = static_cast<std::int32_t>(std::stol(type));
            const bool hasInfo = infoType != "none";
            result.emplace_back(static_cast<int>(result.size() + 1), typeCode,
                                static_cast<std::int32_t>(std::stol(clock)), hasInfo,
                                infoType.empty() || !hasInfo
                                    ? typeCode
                                    : static_cast<std::int32_t>(std::stol(infoType)));
        }
        return result;
    }

    std::vector<FakeChip> chips_;
};

// Logs the module's mapping and unmapping.
struct ModuleLifetime {
    ModuleLifetime() { record("load"); }
    ~ModuleLifetime() { record("unload"); }
};

ModuleLifetime lifetime;
FakeManager manager;

} // namespace

#if defined(_WIN32) && defined(FAKE_TAVRO_REFUSE_LOAD)
extern "C" int __stdcall DllMain(void*, unsigned long reason, void*) {
    if (reason != 1) return 1; // only process attach fails
    record("refused");
    return 0;
}
#endif

#ifndef FAKE_TAVRO_NO_EXPORT
extern "C" __attribute__((visibility("default"))) SoundInterfaceManager*
getSoundInterfaceManager() {
    record("getSoundInterfaceManager");
    if (setting("TAVRO_FAKE_MANAGER", "") == "null") return nullptr;
    return &manager;
}
#endif
