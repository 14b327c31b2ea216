// Why boards are or are not open; see BoardReport.h.
#include "tavroplay/BoardReport.h"

#include <algorithm>

#include "soundif/catalog/BoardLayout.h"
#include "soundif/core/BoardSettings.h"
#include "soundif/core/IniFile.h"
#include "soundif/core/IniText.h"

namespace tavroplay {

namespace {

constexpr std::string_view boardSectionPrefix = "ftd2xx(COM";
constexpr std::string_view comPrefix = "COM";

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string boardKind(const BoardSettings& settings) {
    const catalog::BoardLayout& layout = catalog::boardLayoutOf(settings.slotChipId);
    return layout.id != 0 ? std::string(layout.name)
                          : "chip type " + std::to_string(settings.slotChipId);
}

const diagnosis::DeviceFinding* findingOf(const diagnosis::Diagnosis& devices, std::int32_t port) {
    for (const diagnosis::DeviceFinding& finding : devices.devices)
        if (finding.comNumber == port) return &finding;
    return nullptr;
}

// Why a configured board that is not open is not.
std::string whyClosed(const diagnosis::Diagnosis& devices, std::int32_t port) {
    if (!devices.unavailable.empty()) return "no devices can be reached: " + devices.unavailable;
    const diagnosis::DeviceFinding* finding = findingOf(devices, port);
    // A device that cannot be opened may not tell its number: it may be this one.
    if (finding == nullptr)
        for (const diagnosis::DeviceFinding& device : devices.devices)
            if (device.comNumber == 0 && device.verdict != diagnosis::Verdict::usable) {
                std::string text =
                    "no device COM" + std::to_string(port) +
                    " can be seen; a device that may be it cannot be opened: " + device.reason;
                if (!device.mend.empty()) text += ". Mend: " + device.mend;
                return text;
            }
    if (finding == nullptr) {
        std::string attached;
        for (const diagnosis::DeviceFinding& device : devices.devices)
            if (device.comNumber != 0)
                attached += (attached.empty() ? "" : ", ") + std::string(comPrefix) +
                            std::to_string(device.comNumber);
        return "no device COM" + std::to_string(port) + " is attached" +
               (attached.empty() ? " (none is)" : " (attached: " + attached + ")");
    }
    if (finding->verdict == diagnosis::Verdict::usable) return "the device could not be opened";
    std::string text = "the device cannot be opened: " + finding->reason;
    if (!finding->mend.empty()) text += ". Mend: " + finding->mend;
    return text;
}

} // namespace

std::int32_t portOfInterfaceName(const std::string& name) {
    const std::size_t at = name.rfind(comPrefix);
    if (at == std::string::npos) return 0;
    return parseDecimalInt(std::string_view(name).substr(at + comPrefix.size()));
}

BoardReport BoardReport::look(const std::filesystem::path& iniPath,
                              const diagnosis::Diagnosis* devices,
                              const std::set<std::int32_t>& openedPorts) {
    BoardReport report;
    std::vector<std::string>& lines = report.lines_;
    std::error_code code;
    const bool exists = std::filesystem::exists(iniPath, code);
    lines.push_back("Settings read from " + pathText(iniPath) +
                    (exists ? "" : " (no such file: no board is configured)"));
    std::set<std::int32_t> configured;
    for (const std::string& name : listSections(iniPath)) {
        if (name.compare(0, boardSectionPrefix.size(), boardSectionPrefix) != 0) continue;
        BoardSettings settings;
        settings.port = parseDecimalInt(std::string_view(name).substr(boardSectionPrefix.size()));
        if (settings.port <= 0 || !configured.insert(settings.port).second) continue;
        loadBoardSettings(settings, iniPath);
        std::string line = "  [" + name + "] ";
        if (settings.slotChipId == 0) {
            line += "not open: no board or chip type (SLOT_00_CHIP_ID)";
            report.problem_ = true;
        } else if (openedPorts.count(settings.port) == 0) {
            line += boardKind(settings) + ": not open" +
                    (devices != nullptr ? ": " + whyClosed(*devices, settings.port)
                                        : " (tavroplay --list tells why)");
            report.problem_ = true;
        } else if (settings.slotChipClock <= 0) {
            line += boardKind(settings) +
                    ": open, but without a clock (SLOT_00_CHIP_CLOCK): its chips cannot be used";
            report.problem_ = true;
        } else {
            line +=
                boardKind(settings) + " at " + std::to_string(settings.slotChipClock) + " Hz: open";
        }
        lines.push_back(line);
    }
    if (configured.empty()) {
        lines.push_back("  no board section ([ftd2xx(COM<n>)]) in the file");
        report.problem_ = true;
    }
    if (devices == nullptr) return report;
    for (const diagnosis::DeviceFinding& device : devices->devices)
        if (device.comNumber != 0 && configured.count(device.comNumber) == 0)
            lines.push_back("  COM" + std::to_string(device.comNumber) +
                            " is attached but has no section [ftd2xx(COM" +
                            std::to_string(device.comNumber) + ")] in the file");
    return report;
}

} // namespace tavroplay
