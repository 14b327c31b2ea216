// VGM file building; see VgmWriter.h.
#include "vgm/VgmWriter.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace vgm {

namespace {

constexpr std::size_t headerSize = 0x100;
constexpr std::uint32_t version = 0x171;
constexpr std::uint32_t secondChip = 0x40000000;

// Header field offsets.
constexpr std::size_t eofOffset = 0x04;
constexpr std::size_t versionOffset = 0x08;
constexpr std::size_t ym2413Clock = 0x10;
constexpr std::size_t totalSamples = 0x18;
constexpr std::size_t ym2151Clock = 0x30;
constexpr std::size_t dataOffset = 0x34;
constexpr std::size_t ay8910Clock = 0x74;
constexpr std::size_t ay8910Type = 0x78;
constexpr std::size_t ay8910Flags = 0x79;

// Commands.
constexpr std::uint8_t waitSamples = 0x61;
constexpr std::uint8_t endOfData = 0x66;
constexpr std::uint8_t ay8910Write = 0xA0;
// First and second FM chip of each board.
constexpr std::uint8_t fmWrite[2][2] = {{0x54, 0xA4}, {0x51, 0xA1}};

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

std::uint64_t VgmWriter::sampleAt(double timeMs) {
    return timeMs <= 0 ? 0 : static_cast<std::uint64_t>(std::llround(timeMs * sampleRate / 1000));
}

void VgmWriter::appendWait(std::vector<std::uint8_t>& out, std::uint64_t samples) {
    while (samples > 0) {
        const auto step = static_cast<std::uint16_t>(samples < 0xFFFF ? samples : 0xFFFF);
        out.insert(out.end(), {waitSamples, static_cast<std::uint8_t>(step),
                               static_cast<std::uint8_t>(step >> 8)});
        samples -= step;
    }
}

void VgmWriter::write(double timeMs, int position, std::uint16_t address, std::uint8_t data) {
    std::uint8_t command = 0;
    if (position == 0 && address < 0x10) command = ay8910Write;
    if ((position == 1 || position == 2) && address < 0x100)
        command = fmWrite[fm_ == FmPair::ym2413][position - 1];
    if (command == 0) return;

    const std::uint64_t at = sampleAt(timeMs);
    if (at > samples_) {
        appendWait(commands_, at - samples_);
        samples_ = at;
    }
    commands_.insert(commands_.end(), {command, static_cast<std::uint8_t>(address), data});
}

std::vector<std::uint8_t> VgmWriter::finish(double endMs) {
    std::vector<std::uint8_t> data = std::move(commands_);
    commands_.clear();
    const std::uint64_t end = sampleAt(endMs);
    if (end > samples_) {
        appendWait(data, end - samples_);
        samples_ = end;
    }
    data.push_back(endOfData);

    std::vector<std::uint8_t> file(headerSize + data.size(), 0);
    std::copy(data.begin(), data.end(), file.begin() + headerSize);
    constexpr char magic[4] = {'V', 'g', 'm', ' '};
    std::copy(std::begin(magic), std::end(magic), file.begin());
    put32(file, eofOffset, static_cast<std::uint32_t>(file.size() - eofOffset));
    put32(file, versionOffset, version);
    put32(file, totalSamples, static_cast<std::uint32_t>(samples_));
    put32(file, dataOffset, static_cast<std::uint32_t>(headerSize - dataOffset));
    put32(file, fm_ == FmPair::ym2413 ? ym2413Clock : ym2151Clock, clock_ | secondChip);
    put32(file, ay8910Clock, clock_ >> 1);
    file[ay8910Type] = 0x00;
    file[ay8910Flags] = 0x01;
    return file;
}

} // namespace vgm
