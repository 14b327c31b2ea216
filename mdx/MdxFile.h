// MdxFile: an MDX song read from its bytes: the title (Shift_JIS, as the
// file has it), the name of the PDX sample bank it asks for, the voices and the
// programs of its 9 or 16 tracks (A-H on the YM2151, P and Q-W on ADPCM
// voices). Words are big-endian; offsets count from the byte after the bank
// name's terminating zero (the body). The reader checks every offset against
// the file's size, so a corrupt file gives a message, never a read outside
// it; the driver still checks each command's bytes as it runs, since a
// track's program ends only where its end command is.
//
//     std::string error;
//     auto song = MdxFile::parse(bytes, error);
//     if (!song) report(error);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mdx {

// A voice as the file holds it: number, FL/CON, the slot mask the key-on
// keys, then six groups of four operator bytes in slot register order (M1,
// M2, C1, C2): DT1/MUL, TL, KS/AR, AME/D1R, DT2/D2R, D1L/RR.
struct MdxVoice {
    static constexpr std::size_t size = 27;
    static constexpr std::size_t groupCount = 6;
    static constexpr std::size_t operatorCount = 4;
    static constexpr std::size_t firstGroup = 3;
    static constexpr std::size_t totalLevelGroup = 1;

    std::uint8_t number = 0;
    std::uint8_t feedbackConnection = 0;
    std::uint8_t slotMask = 0;
    std::array<std::array<std::uint8_t, operatorCount>, groupCount> groups{};
};

class MdxFile {
public:
    static constexpr std::size_t fmTrackCount = 8;
    static constexpr std::size_t shortTrackCount = 9;
    static constexpr std::size_t longTrackCount = 16;

    static std::optional<MdxFile> parse(std::span<const std::uint8_t> bytes, std::string& error);

    const std::string& title() const { return title_; }
    // The bank's name as written in the file (empty: no bank).
    const std::string& pdxName() const { return pdxName_; }
    // The body: track programs and voices; every offset counts from its start.
    const std::vector<std::uint8_t>& body() const { return body_; }
    const std::vector<std::uint16_t>& trackOffsets() const { return trackOffsets_; }
    std::size_t trackCount() const { return trackOffsets_.size(); }
    // The voice with that number, if the file has it.
    std::optional<MdxVoice> voice(unsigned number) const;

private:
    std::string title_;
    std::string pdxName_;
    std::vector<std::uint8_t> body_;
    std::vector<std::uint16_t> trackOffsets_;
    std::vector<MdxVoice> voices_;
};

} // namespace mdx
