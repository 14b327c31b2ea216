// The chips of one file; see FileChips.h.
#include "tavroplay/FileChips.h"

#include <cmath>
#include <cstdio>

namespace tavroplay {

namespace {

constexpr std::uint8_t ym2149Family = 0x10;
constexpr std::uint8_t clockDividerFlag = 0x10;

std::string meterName(vgm::VgmChip chip, int index) {
    constexpr const char* names[vgm::chipCount] = {"OPLL", "OPM", "OPN", "OPNA", "PSG"};
    return std::string(names[static_cast<std::size_t>(chip)]) + (index == 1 ? "2" : "");
}

} // namespace

std::uint32_t fileClockOf(const vgm::VgmHeader& header, vgm::VgmChip chip) {
    std::uint32_t clock = header.clock(chip).hz;
    if (clock == 0) clock = vgm::chipModelOf(chip).defaultClock;
    if (chip == vgm::VgmChip::ay8910 && header.ay8910Type >= ym2149Family &&
        (header.ay8910Flags & clockDividerFlag) != 0)
        clock /= 2;
    return clock;
}

std::string chipLabel(vgm::VgmChip chip, int index) {
    return std::string(vgm::chipName(chip)) + (index == 1 ? " #2" : "");
}

FileChips::FileChips(const vgm::VgmFile& file, BoardChips& boards) : boards_(boards) {
    for (std::size_t kind = 0; kind < vgm::chipCount; ++kind) {
        const auto chip = static_cast<vgm::VgmChip>(kind);
        for (int index = 0; index < 2; ++index) {
            if (!file.writesTo(chip, index)) continue;
            const std::string label = chipLabel(chip, index);
            const std::uint32_t clock = fileClockOf(file.header(), chip);
            const auto found = boards.acquire(vgm::chipTypeOf(chip), clock);
            if (!found) {
                missing_.push_back(label);
                continue;
            }
            acquired_.push_back(found->chip);
            const double ratio = static_cast<double>(clock) / found->clock;
            if (found->clock != clock) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "%s is clock-corrected: the file's %u Hz played on a %u Hz chip "
                              "(%+.2f semitones)",
                              label.c_str(), clock, found->clock, 12 * std::log2(ratio));
                corrections_.push_back(text);
            }
            Entry entry;
            entry.sink = std::make_unique<Sink>(found->chip);
            entry.chip = std::make_unique<PlayedChip>(chip, ratio, *entry.sink);
            entry.meterLabel = meterName(chip, index);
            table_[kind][index] = entry.chip.get();
            if (!placement_.empty()) placement_ += ", ";
            placement_ += label + " on " + (found->board.empty() ? "a board" : found->board);
            chips_.push_back(std::move(entry));
        }
    }
}

std::vector<PlayedChip*> FileChips::played() const {
    std::vector<PlayedChip*> result;
    for (const Entry& entry : chips_)
        result.push_back(entry.chip.get());
    return result;
}

std::vector<MeterChip> FileChips::meter() const {
    std::vector<MeterChip> result;
    for (const Entry& entry : chips_)
        result.push_back({entry.meterLabel, entry.chip.get()});
    return result;
}

void FileChips::silence() {
    for (Entry& entry : chips_)
        entry.chip->silence();
}

void FileChips::release() {
    for (SoundChip* chip : acquired_)
        boards_.release(chip);
    acquired_.clear();
    table_ = {};
    chips_.clear();
}

} // namespace tavroplay
