// MdxSource: see MdxSource.h.
#include "songs/MdxSource.h"

#include "mdx/MdxDriver.h"
#include "songs/TextEncoding.h"

namespace songs {
namespace {

constexpr std::uint32_t ym2151Clock = 4000000;
// The X68000's ADPCM chip, named so that players say its notes are dropped.
constexpr std::uint32_t adpcmClock = 8000000;
constexpr std::uint8_t adpcmChip = 1;
// A song that neither ends nor loops (a track waiting for a sync that never
// comes while another plays on) is cut after this long.
constexpr std::uint64_t longestPass = 30ull * 60 * sampleRate;
constexpr unsigned loopEnd = 2;

} // namespace

bool isMdx(std::span<const std::uint8_t> bytes) {
    std::string error;
    return mdx::MdxFile::parse(bytes, error).has_value();
}

std::optional<Song> readMdx(std::span<const std::uint8_t> bytes, std::string& error) {
    std::optional<mdx::MdxFile> file = mdx::MdxFile::parse(bytes, error);
    if (!file) return std::nullopt;
    Song song;
    song.format = "MDX";
    song.chips.push_back({ChipType::ym2151, "YM2151", ym2151Clock, 0, {}});
    song.chips.push_back({ChipType::other, "MSM6258 ADPCM", adpcmClock, 0, {}});
    if (!file->title().empty()) song.tags.push_back({"Title", utf8FromShiftJis(file->title())});
    if (!file->pdxName().empty()) song.tags.push_back({"Bank", utf8FromShiftJis(file->pdxName())});

    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    std::vector<mdx::AdpcmNote> samples;
    driver.start(writes);
    // Time in chip clocks x samples per second, so that no tick's length is
    // rounded: a tick is timerBUnit x (256 - timer B) chip clocks.
    std::uint64_t scaledTime = 0;
    auto now = [&] { return scaledTime / ym2151Clock; };
    auto keep = [&] {
        for (const mdx::Ym2151Write& w : writes)
            song.writes.push_back({now(), w.address, 0, w.data});
        for (const mdx::AdpcmNote& n : samples)
            song.writes.push_back({now(), static_cast<std::uint16_t>(n.track), adpcmChip,
                                   static_cast<std::uint8_t>(n.sample)});
        writes.clear();
        samples.clear();
    };
    keep();
    unsigned loops = 0;
    std::uint64_t lastTick = 0;
    while (!driver.ended() && now() < longestPass) {
        std::size_t tickStart = song.writes.size();
        std::uint64_t tickTime = now();
        lastTick = tickTime;
        driver.tick(writes, &samples);
        keep();
        if (driver.loops() > loops) {
            loops = driver.loops();
            if (loops == 1) song.loop = SongLoop{tickStart, tickTime};
            if (loops >= loopEnd) {
                // The second pass's first tick belongs to the next pass.
                song.writes.resize(tickStart);
                song.length = tickTime;
                return song;
            }
        }
        scaledTime += static_cast<std::uint64_t>(mdx::MdxDriver::timerBUnit) *
                      (mdx::MdxDriver::timerBSteps - driver.timerB()) * sampleRate;
    }
    // The song ended at the start of its last tick (or was cut).
    song.loop.reset();
    song.length = driver.ended() ? lastTick : now();
    return song;
}

} // namespace songs
