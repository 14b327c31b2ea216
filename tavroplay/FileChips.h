// FileChips: the chips one VGM file plays on, found on the boards for the
// time the file plays and given back afterwards. Each chip the file writes to
// (first and second of a kind) gets a board chip of its library type: at the
// file's clock when one is free, else any free one of that type, clock
// corrected. Chips that no board offers are missing; their writes drop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tavroplay/BoardChips.h"
#include "tavroplay/Display.h"
#include "tavroplay/PlayedChip.h"
#include "tavroplay/SongPlayer.h"
#include "vgm/VgmFile.h"

namespace tavroplay {

// The clock a file means for a chip: its header clock, the default where the
// header gives none, halved for a YM2149 whose clock divider pin is low.
std::uint32_t fileClockOf(const vgm::VgmHeader& header, vgm::VgmChip chip);

// "YM2151", "YM2151 #2".
std::string chipLabel(vgm::VgmChip chip, int index);

class FileChips {
public:
    FileChips(const vgm::VgmFile& file, BoardChips& boards);
    ~FileChips() { release(); }
    FileChips(const FileChips&) = delete;
    FileChips& operator=(const FileChips&) = delete;

    const ChipTable& table() const { return table_; }
    std::vector<PlayedChip*> played() const;
    std::vector<MeterChip> meter() const;
    bool any() const { return !chips_.empty(); }

    // "YM2151 on KX7M(COM1), AY-3-8910 on KX7M(COM1)".
    const std::string& placement() const { return placement_; }
    // Labels of the chips that no board offers; empty when none.
    const std::vector<std::string>& missing() const { return missing_; }
    // One line per clock-corrected chip.
    const std::vector<std::string>& corrections() const { return corrections_; }

    void silence();
    // Gives the board chips back to the manager.
    void release();

private:
    class Sink : public RegisterSink {
    public:
        explicit Sink(SoundChip* chip) : chip_(chip) {}
        void write(std::uint16_t address, std::uint8_t data) override {
            chip_->setRegister(address, data);
        }

    private:
        SoundChip* chip_;
    };
    struct Entry {
        std::unique_ptr<Sink> sink;
        std::unique_ptr<PlayedChip> chip;
        std::string meterLabel;
    };

    BoardChips& boards_;
    std::vector<SoundChip*> acquired_;
    std::vector<Entry> chips_;
    ChipTable table_{};
    std::string placement_;
    std::vector<std::string> missing_;
    std::vector<std::string> corrections_;
};

} // namespace tavroplay
