// Test support: a recorded VGM file read back through the project's reader,
// as the tests look at it: header fields with the dual-chip bit in place, and
// the register writes stamped with the sample count reached before them.
// Fails the calling test when the reader refuses the file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vgm/VgmFile.h"

struct VgmWrite {
    std::uint64_t sample;
    std::uint8_t command;
    std::uint8_t address;
    std::uint8_t data;

    bool operator==(const VgmWrite&) const = default;
};

struct VgmContents {
    std::uint32_t eofOffset = 0, version = 0, ym2413Clock = 0, totalSamples = 0;
    std::uint32_t ym2151Clock = 0, dataOffset = 0, ay8910Clock = 0;
    std::uint8_t ay8910Type = 0xFF;
    std::vector<VgmWrite> writes;
    std::uint64_t waitedSamples = 0;
    bool ended = false;
};

inline VgmContents readVgm(const std::vector<std::uint8_t>& bytes) {
    VgmContents vgm;
    std::string error;
    const std::optional<vgm::VgmFile> file = vgm::VgmFile::parse(bytes, error);
    if (!file) {
        ADD_FAILURE() << "the reader refuses the file: " << error;
        return vgm;
    }
    const vgm::VgmHeader& header = file->header();
    const auto clock = [&header](vgm::VgmChip chip) {
        return header.clock(chip).hz | (header.clock(chip).dual ? 0x40000000u : 0u);
    };
    vgm.eofOffset = static_cast<std::uint32_t>(header.dataEnd - 4);
    vgm.version = header.version;
    vgm.ym2413Clock = clock(vgm::VgmChip::ym2413);
    vgm.ym2151Clock = clock(vgm::VgmChip::ym2151);
    vgm.ay8910Clock = clock(vgm::VgmChip::ay8910);
    vgm.ay8910Type = header.ay8910Type;
    vgm.totalSamples = header.totalSamples;
    vgm.dataOffset = static_cast<std::uint32_t>(header.dataStart - 0x34);
    constexpr std::uint8_t commands[] = {0x51, 0x54, 0x55, 0x56, 0xA0};
    vgm::CommandReader reader = file->commands();
    for (vgm::VgmEvent event = reader.next(); event.kind != vgm::VgmEvent::end;
         event = reader.next()) {
        if (event.kind == vgm::VgmEvent::wait) vgm.waitedSamples += event.samples;
        if (event.kind != vgm::VgmEvent::write) continue;
        std::uint8_t command = commands[static_cast<std::size_t>(event.chip)];
        std::uint8_t address = static_cast<std::uint8_t>(event.address);
        if (event.chip == vgm::VgmChip::ay8910)
            address = static_cast<std::uint8_t>(address | event.index << 7);
        else if (event.index == 1)
            command = static_cast<std::uint8_t>(command + 0x50);
        vgm.writes.push_back({vgm.waitedSamples, command, address, event.data});
    }
    vgm.ended = true;
    EXPECT_EQ(header.dataEnd, bytes.size()) << "bytes after the data";
    return vgm;
}
