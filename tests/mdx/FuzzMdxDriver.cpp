// Fuzzes the MDX reader and our driver: any bytes are either refused with a
// reason or give a song whose tracks play (for a bounded number of ticks)
// without reading outside the file, writing the timer registers or keying a
// channel that does not exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "mdx/MdxDriver.h"

namespace {
constexpr int fuzzTicks = 2000;
constexpr std::uint8_t firstTimerRegister = 0x10;
constexpr std::uint8_t lastTimerRegister = 0x14;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto file = mdx::MdxFile::parse(std::span<const std::uint8_t>(data, size), error);
    if (!file) {
        if (error.empty()) std::abort();
        return 0;
    }
    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    std::vector<mdx::AdpcmNote> samples;
    driver.start(writes);
    for (int tick = 0; tick < fuzzTicks && !driver.ended(); ++tick) {
        writes.clear();
        driver.tick(writes, &samples);
        for (const mdx::Ym2151Write& w : writes)
            if (w.address >= firstTimerRegister && w.address <= lastTimerRegister) std::abort();
        if (driver.tickSeconds() <= 0) std::abort();
    }
    return 0;
}
