// Reads back a VGM file as the tests need it: the header fields the virtual
// board fills, and the command stream as register writes stamped with the
// sample count reached before them. Fails the calling test on any command it
// does not expect or on a stream that runs past the end of the file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

inline std::uint32_t vgm32(const std::vector<std::uint8_t>& file, std::size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
}

inline VgmContents readVgm(const std::vector<std::uint8_t>& file) {
    VgmContents vgm;
    if (file.size() < 0x100 || vgm32(file, 0) != 0x206D6756) {
        ADD_FAILURE() << "not a VGM file";
        return vgm;
    }
    vgm.eofOffset = vgm32(file, 0x04);
    vgm.version = vgm32(file, 0x08);
    vgm.ym2413Clock = vgm32(file, 0x10);
    vgm.totalSamples = vgm32(file, 0x18);
    vgm.ym2151Clock = vgm32(file, 0x30);
    vgm.dataOffset = vgm32(file, 0x34);
    vgm.ay8910Clock = vgm32(file, 0x74);
    vgm.ay8910Type = file[0x78];
    for (std::size_t at = 0x34 + vgm.dataOffset; at < file.size();) {
        const std::uint8_t command = file[at];
        if (command == 0x66) {
            vgm.ended = true;
            EXPECT_EQ(at + 1, file.size()) << "bytes after the end command";
            return vgm;
        }
        if (at + 3 > file.size()) break;
        if (command == 0x61) {
            vgm.waitedSamples += file[at + 1] | file[at + 2] << 8;
        } else if (command == 0x54 || command == 0xA4 || command == 0x51 || command == 0xA1 ||
                   command == 0xA0) {
            vgm.writes.push_back({vgm.waitedSamples, command, file[at + 1], file[at + 2]});
        } else {
            ADD_FAILURE() << "unexpected command " << int(command);
            return vgm;
        }
        at += 3;
    }
    ADD_FAILURE() << "no end command";
    return vgm;
}
