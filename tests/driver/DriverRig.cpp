// DriverRig: loading, entries and ticks of the driver test bench.
#include "DriverRig.h"

#include <algorithm>

void WatchedTonrig::writeByte(std::uint16_t address, std::uint8_t value) {
    const bool ram = address >= ramBegin && address < ramEnd;
    const bool stack = address >= stackBottom && address < returnAddress;
    // The runner itself pushes the return address 0xFFFF at 0xFFFE.
    const bool runnerReturn = address >= returnAddress && value == 0xFF;
    if (!ram && !stack && !runnerReturn) strayWrites.push_back(address);
    Tonrig::writeByte(address, value);
}

std::filesystem::path DriverRig::image(const std::string& name) {
    return std::filesystem::path(TONRIG_DRIVER_DIR) / name;
}

DriverRig::DriverRig(const std::optional<std::string>& song) {
    withSong_ = song.has_value();
    loaded = (!withSong_ || machine.loadImage(Tonrig::dataAddress, image(*song))) &&
             machine.loadImage(Tonrig::driverAddress, image("VELKAN.BIN"));
    attachChips();
}

DriverRig::DriverRig(std::span<const std::uint8_t> song) {
    withSong_ = true;
    std::copy(song.begin(), song.end(), machine.memory.begin() + Tonrig::dataAddress);
    loaded = machine.loadImage(Tonrig::driverAddress, image("VELKAN.BIN"));
    attachChips();
}

void DriverRig::attachChips() {
    machine.opm1 = &opm1_;
    machine.opm2 = &opm2_;
    machine.psg = &psg_;
}

void DriverRig::start() {
    machine.callSubroutine(Tonrig::driverAddress);
    stackAfterEntries.push_back(machine.SP);
    machine.callSubroutine(withSong_ ? Tonrig::driverEntryWithData
                                     : Tonrig::driverEntryWithoutData);
    stackAfterEntries.push_back(machine.SP);
}

void DriverRig::run(int ticks) {
    for (int i = 0; i < ticks; ++i) {
        ++tick;
        machine.tick();
    }
}

std::vector<ChipWrite> DriverRig::writesOf(Chip chip, int from, int to) const {
    std::vector<ChipWrite> result;
    std::copy_if(writes.begin(), writes.end(), std::back_inserter(result), [&](const ChipWrite& w) {
        return w.chip == chip && w.tick >= from && w.tick < to;
    });
    return result;
}
