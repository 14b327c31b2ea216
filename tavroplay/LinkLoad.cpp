// A song's load on the link; see LinkLoad.h.
#include "tavroplay/LinkLoad.h"

#include <array>
#include <map>
#include <utility>

namespace tavroplay {

namespace {
constexpr std::array<std::uint32_t, 8> usualSpeeds = {115200,  230400,  460800,  921600,
                                                      1000000, 1500000, 2000000, 3000000};
constexpr double windowsPerSecond = static_cast<double>(songs::sampleRate) / loadWindowSamples;
} // namespace

std::vector<std::uint64_t> linkWriteTimes(const songs::Song& song,
                                          const std::vector<bool>& played) {
    std::vector<std::uint64_t> times;
    std::map<std::pair<std::uint8_t, std::uint16_t>, std::uint8_t> ym2151Registers;
    for (const songs::SongWrite& write : song.writes) {
        if (!played.empty() && (write.chip >= played.size() || !played[write.chip])) continue;
        if (write.chip < song.chips.size() &&
            song.chips[write.chip].type == songs::ChipType::ym2151) {
            const auto key = std::make_pair(write.chip, write.address);
            const auto found = ym2151Registers.find(key);
            if (found != ym2151Registers.end() && found->second == write.data) continue;
            ym2151Registers[key] = write.data;
        }
        times.push_back(write.time);
    }
    return times;
}

LinkLoad measureLinkLoad(const songs::Song& song, const std::vector<bool>& played) {
    LinkLoad load;
    std::uint64_t window = 0;
    std::uint64_t count = 0;
    const auto close = [&] {
        const double rate = static_cast<double>(count) * windowsPerSecond;
        if (rate > load.peakWritesPerSecond) {
            load.peakWritesPerSecond = rate;
            load.peakAt = window * loadWindowSamples;
        }
    };
    for (const std::uint64_t time : linkWriteTimes(song, played)) {
        const std::uint64_t at = time / loadWindowSamples;
        if (at != window) {
            close();
            window = at;
            count = 0;
        }
        ++count;
    }
    close();
    return load;
}

std::uint32_t speedToCarry(double writesPerSecond) {
    for (std::uint32_t speed : usualSpeeds)
        if (linkCapacity(speed) >= writesPerSecond) return speed;
    return 0;
}

} // namespace tavroplay
