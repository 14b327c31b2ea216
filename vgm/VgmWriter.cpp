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

// Header field offsets.
constexpr std::size_t eofOffset = 0x04;
constexpr std::size_t versionOffset = 0x08;
constexpr std::size_t totalSamples = 0x18;
constexpr std::size_t dataOffset = 0x34;
constexpr std::size_t ay8910Type = 0x78;
constexpr std::size_t ay8910Flags = 0x79;

// Commands.
constexpr std::uint8_t waitSamples = 0x61;
constexpr std::uint8_t endOfData = 0x66;

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

VgmWriter::VgmWriter(const catalog::BoardLayout& board, std::uint32_t boardClock) {
    const auto clock = static_cast<std::int32_t>(boardClock);
    for (std::size_t position = 0; position < board.chipCount; ++position) {
        const catalog::ChipPlace& place = board.chips[position];
        const catalog::ChipModel* model = catalog::findChipModel(board.typeAt(position, board.id));
        std::int32_t chipClock = catalog::clockOf(place.clock, clock);
        if (model == nullptr || model->vgm.port0 == 0) {
            model = catalog::findChipModel(place.altType);
            chipClock = catalog::clockOf(place.altClock, clock);
        }
        if (model == nullptr || model->vgm.port0 == 0) continue;
        const auto earlier = std::count_if(targets_.begin(), targets_.begin() + position,
                                           [&](const Target& t) { return t.model == model; });
        if (earlier > 1) continue;
        targets_[position] = {model, earlier == 1, static_cast<std::uint32_t>(chipClock)};
    }
}

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
    if (position < 0 || position >= static_cast<int>(targets_.size())) return;
    const Target& target = targets_[static_cast<std::size_t>(position)];
    if (target.model == nullptr) return;
    const catalog::VgmCommands& vgm = target.model->vgm;
    if (address >= vgm.addressLimit) return;
    const bool port1 = address > 0xFF;
    const std::uint8_t command = target.second ? (port1 ? vgm.secondPort1 : vgm.secondPort0)
                                               : (port1 ? vgm.port1 : vgm.port0);
    if (command == 0) return;
    auto reg = static_cast<std::uint8_t>(address);
    if (target.second && vgm.secondByRegisterBit7) reg |= catalog::vgmSecondChipRegisterBit;

    const std::uint64_t at = sampleAt(timeMs);
    if (at > samples_) {
        appendWait(commands_, at - samples_);
        samples_ = at;
    }
    commands_.insert(commands_.end(), {command, reg, data});
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
    for (const Target& target : targets_) {
        if (target.model == nullptr || target.second) continue;
        const bool dual = std::any_of(targets_.begin(), targets_.end(), [&](const Target& t) {
            return t.model == target.model && t.second;
        });
        put32(file, target.model->vgm.headerClockOffset,
              target.clock | (dual ? catalog::vgmSecondChipClockFlag : 0));
        if (target.model->type == tavro::chipTypePsg) {
            file[ay8910Type] = 0x00;
            file[ay8910Flags] = 0x01;
        }
    }
    return file;
}

} // namespace vgm
