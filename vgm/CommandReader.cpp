// The VGM command stream; see CommandReader.h.
#include "vgm/CommandReader.h"
#include "vgm/FileBytes.h"

#include <cstdio>

namespace vgm {

namespace {

constexpr std::uint8_t waitSamples = 0x61;
constexpr std::uint8_t waitNtsc = 0x62;
constexpr std::uint8_t waitPal = 0x63;
constexpr std::uint8_t endOfData = 0x66;
constexpr std::uint8_t dataBlock = 0x67;
constexpr std::uint8_t ay8910Write = chipModelOf(VgmChip::ay8910).vgm.port0;
constexpr std::uint8_t ay8910SecondChip = catalog::vgmSecondChipRegisterBit;
constexpr std::size_t dataBlockHeader = 7; // 0x67 0x66 tt ss ss ss ss

// The chip, index and port of a register write command (from the catalog's
// commands), or false.
bool writeTarget(std::uint8_t command, VgmChip& chip, std::uint8_t& index, std::uint16_t& port) {
    for (std::size_t kind = 0; kind < chipCount; ++kind) {
        const catalog::VgmCommands& vgm = chipModelOf(static_cast<VgmChip>(kind)).vgm;
        if (vgm.secondByRegisterBit7) continue;
        const std::uint8_t commands[4] = {vgm.port0, vgm.port1, vgm.secondPort0, vgm.secondPort1};
        for (int i = 0; i < 4; ++i) {
            if (commands[i] == 0 || commands[i] != command) continue;
            chip = static_cast<VgmChip>(kind);
            index = static_cast<std::uint8_t>(i / 2);
            port = i % 2 == 1 ? 0x100 : 0;
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t commandLength(std::uint8_t command, std::uint32_t version) {
    if (command >= 0x30 && command <= 0x3F) return 2;
    if (command >= 0x40 && command <= 0x4E) return version >= 0x160 ? 3 : 2;
    if (command == 0x4F || command == 0x50) return 2;
    if (command >= 0x51 && command <= 0x5F) return 3;
    if (command == waitSamples) return 3;
    if (command == waitNtsc || command == waitPal || command == endOfData) return 1;
    if (command == 0x64) return 4;
    if (command == dataBlock) return dataBlockHeader;
    if (command == 0x68) return 12;
    if (command >= 0x70 && command <= 0x8F) return 1;
    switch (command) {
    case 0x90:
    case 0x91:
    case 0x95: return 5;
    case 0x92: return 6;
    case 0x93: return 11;
    case 0x94: return 2;
    default: break;
    }
    if (command >= 0xA0 && command <= 0xBF) return 3;
    if (command >= 0xC0 && command <= 0xDF) return 4;
    if (command >= 0xE0) return 5;
    return 0;
}

CommandReader::CommandReader(std::span<const std::uint8_t> file, std::size_t start, std::size_t end,
                             std::uint32_t version)
    : file_(file), end_(end < file.size() ? end : file.size()), version_(version), at_(start) {}

void CommandReader::seek(std::size_t offset) {
    if (failed_) return;
    at_ = offset;
}

VgmEvent CommandReader::failAt(std::size_t offset, std::string message) {
    failed_ = true;
    error_ = std::move(message);
    VgmEvent event;
    event.kind = VgmEvent::fault;
    event.offset = offset;
    at_ = offset;
    return event;
}

VgmEvent CommandReader::next() {
    {
        if (failed_) return failAt(at_, error_);
        if (at_ >= end_) return failAt(at_, "the data ends without an end command");
        const std::size_t here = at_;
        const std::uint8_t command = file_[here];
        std::size_t length = commandLength(command, version_);
        if (length == 0)
            return failAt(here, "unknown command " + hex(command) + " at " + hex(here));
        if (command == dataBlock) {
            if (end_ - here < dataBlockHeader)
                return failAt(here,
                              "data block at " + hex(here) + " runs past the end of the data");
            const std::uint32_t size = file_[here + 3] | file_[here + 4] << 8 |
                                       file_[here + 5] << 16 |
                                       static_cast<std::uint32_t>(file_[here + 6] & 0x7F) << 24;
            if (end_ - here - dataBlockHeader < size)
                return failAt(here,
                              "data block at " + hex(here) + " runs past the end of the data");
            length = dataBlockHeader + size;
        } else if (end_ - here < length) {
            return failAt(here, "command " + hex(command) + " at " + hex(here) +
                                    " runs past the end of the data");
        }
        at_ = here + length;

        VgmEvent event;
        event.offset = here;
        if (command == endOfData) {
            at_ = here;
            event.kind = VgmEvent::end;
            return event;
        }
        event.kind = VgmEvent::wait;
        if (command == waitSamples) {
            event.samples = file_[here + 1] | file_[here + 2] << 8;
        } else if (command == waitNtsc) {
            event.samples = 735;
        } else if (command == waitPal) {
            event.samples = 882;
        } else if (command >= 0x70 && command <= 0x7F) {
            event.samples = (command & 0x0F) + 1u;
        } else if (command >= 0x80 && command <= 0x8F) {
            event.samples = command & 0x0Fu;
        }
        if (event.samples != 0) return event;

        // Register writes are three bytes long: command, address, data.
        event.kind = VgmEvent::write;
        if (command == ay8910Write) {
            event.data = file_[here + 2];
            event.chip = VgmChip::ay8910;
            event.index = (file_[here + 1] & ay8910SecondChip) ? 1 : 0;
            event.address = file_[here + 1] & 0x7F;
            return event;
        }
        std::uint16_t port = 0;
        if (writeTarget(command, event.chip, event.index, port)) {
            event.data = file_[here + 2];
            event.address = static_cast<std::uint16_t>(port | file_[here + 1]);
            return event;
        }
        // Any other chip, data blocks, stream controls: skipped.
        event.kind = VgmEvent::other;
        return event;
    }
}

} // namespace vgm
