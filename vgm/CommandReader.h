// CommandReader: walks a VGM file's command stream one event at a time:
// register writes for the chips of VgmChip, waits in samples (44,100 per
// second) and the end. Commands of other chips, data blocks and the stream
// controls are skipped by their documented lengths, so an unknown chip never
// derails the stream; the YM2612 PCM commands 0x8n count only as waits of n.
//
// Skipped commands come out as events of kind other, so that every command
// start is seen.
//
// It never reads outside [start, end): a command that runs past the end, an
// unknown command byte or a missing end command gives a fault event, after
// which the reader stays at the fault. Usage:
//
//   CommandReader reader(bytes, header.dataStart, header.dataEnd, header.version);
//   for (VgmEvent e = reader.next(); e.kind != VgmEvent::end; e = reader.next()) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "vgm/VgmChip.h"

namespace vgm {

struct VgmEvent {
    enum Kind : std::uint8_t { write, wait, end, fault, other };
    Kind kind = end;
    VgmChip chip = VgmChip::ym2151;
    std::uint8_t index = 0;    // 0 first chip, 1 second chip of its kind
    std::uint16_t address = 0; // YM2608 port 1: 0x100 and up
    std::uint8_t data = 0;
    std::uint32_t samples = 0; // wait length
    std::size_t offset = 0;    // file offset of the command
};

// Length in bytes of the command, its operands included; 0 for a command
// byte the format does not define. Data blocks (0x67) have a length of their
// own: 7 bytes of block header plus the size the block gives.
std::size_t commandLength(std::uint8_t command, std::uint32_t version);

class CommandReader {
public:
    CommandReader(std::span<const std::uint8_t> file, std::size_t start, std::size_t end,
                  std::uint32_t version);

    VgmEvent next();

    // Continues at a file offset (the loop start); later commands are read
    // from there as from the start.
    void seek(std::size_t offset);
    std::size_t offset() const { return at_; }

    // What the last fault event was about, e.g. "command 0x54 at 0x1234
    // runs past the end of the data".
    const std::string& error() const { return error_; }

private:
    VgmEvent failAt(std::size_t offset, std::string message);

    std::span<const std::uint8_t> file_;
    std::size_t end_;
    std::uint32_t version_;
    std::size_t at_;
    std::string error_;
    bool failed_ = false;
};

} // namespace vgm
