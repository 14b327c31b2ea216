// MdxSource: see MdxSource.h.
#include "songs/MdxSource.h"

#include <map>
#include <string>
#include <vector>

#include "mdx/MdxDriver.h"
#include "mdx/MdxMeasured.h"
#include "mdx/MdxSong.h"
#include "mdx/OkiAdpcm.h"
#include "songs/TextEncoding.h"

namespace songs {
namespace {

constexpr std::uint32_t ym2151Clock = 4000000;
// The X68000's ADPCM chip, named so that players say its notes are dropped.
constexpr std::uint32_t adpcmClock = 8000000;
constexpr std::uint8_t adpcmChip = 1;
// The ADPCM rates a track selects (0xED n): the MSM6258 at 4 or 8 MHz,
// dividing by 1024, 768 or 512.
constexpr std::uint32_t adpcmRates[] = {3906, 5208, 7813, 10417, 15625};
constexpr std::size_t maximumPcm = 0x100;

// The songs's samples, decoded once for each rate they are played at.
class PcmTable {
public:
    PcmTable(Song& song, const mdx::PdxBank& bank) : song_(song), bank_(bank) {}
    // The index in Song::pcm; nothing when the bank has no such sample.
    std::optional<std::uint8_t> index(unsigned sample, unsigned rate) {
        const auto key = std::make_pair(sample, rate);
        if (auto found = indices_.find(key); found != indices_.end()) return found->second;
        const auto data = bank_.sample(sample);
        if (data.empty() || song_.pcm.size() >= maximumPcm) return std::nullopt;
        SongPcm pcm;
        pcm.rate = adpcmRates[std::min<std::size_t>(rate, std::size(adpcmRates) - 1)];
        mdx::OkiAdpcm decoder;
        decoder.decode(data, pcm.samples);
        song_.pcm.push_back(std::move(pcm));
        const auto index = static_cast<std::uint8_t>(song_.pcm.size() - 1);
        indices_[key] = index;
        return index;
    }

private:
    Song& song_;
    const mdx::PdxBank& bank_;
    std::map<std::pair<unsigned, unsigned>, std::uint8_t> indices_;
};
// A song that neither ends nor loops (a track waiting for a sync that never
// comes while another plays on) is cut after this long.
constexpr std::uint64_t longestPass = 30ull * 60 * sampleRate;
constexpr unsigned loopEnd = 2;

std::string hexByte(std::uint8_t value) {
    constexpr char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[value >> 4] + digits[value & 0x0F];
}

// What of the song the driver met and does not play, as the song's
// "Not played" tag (none when it played everything).
void tagUnplayed(Song& song, const mdx::MdxDriver::Unplayed& unplayed) {
    if (!unplayed.any()) return;
    std::vector<std::string> parts;
    for (std::uint8_t command : unplayed.commands)
        parts.push_back("command " + hexByte(command) + " (its track stops there)");
    for (std::uint8_t command : unplayed.extended)
        parts.push_back("command 0xE7 " + hexByte(command));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    song.tags.push_back({"Not played", text});
}

} // namespace

bool isMdx(std::span<const std::uint8_t> bytes) {
    std::string error;
    return mdx::MdxFile::parse(bytes, error).has_value();
}

std::optional<Song> readMdx(std::span<const std::uint8_t> bytes, std::string& error,
                            const std::filesystem::path& directory) {
    std::optional<mdx::MdxFile> file = mdx::MdxFile::parse(bytes, error);
    if (!file) return std::nullopt;
    Song song;
    song.format = "MDX";
    song.chips.push_back({ChipType::ym2151, "YM2151", ym2151Clock, 0, {}});
    std::optional<mdx::PdxBank> bank;
    if (!directory.empty() && !file->pdxName().empty())
        bank = mdx::loadPdxBank(directory, file->pdxName(), song.warning);
    song.chips.push_back(
        {bank ? ChipType::msm6258 : ChipType::other, "MSM6258 ADPCM", adpcmClock, 0, {}});
    std::optional<PcmTable> pcm;
    if (bank) pcm.emplace(song, *bank);
    std::map<unsigned, unsigned> pans;
    std::map<unsigned, unsigned> gains;
    const bool pcm8 = file->trackCount() == mdx::MdxFile::longTrackCount;
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
        for (const mdx::AdpcmNote& n : samples) {
            if (n.stop) {
                song.writes.push_back(
                    {now(), static_cast<std::uint16_t>(stopAddress + n.track), adpcmChip, 0});
                continue;
            }
            std::optional<std::uint8_t> index = static_cast<std::uint8_t>(n.sample);
            if (pcm) index = pcm->index(n.sample, n.rate);
            if (!index || (!pcm8 && n.fade > mdx::measured::adpcmFadeLimit)) continue;
            if (const unsigned gain = mdx::measured::pcm8Gain(n.volume, n.fade);
                pcm8 && (!gains.contains(n.track) || gains[n.track] != gain)) {
                gains[n.track] = gain;
                song.writes.push_back({now(), static_cast<std::uint16_t>(gainAddress + n.track),
                                       adpcmChip, static_cast<std::uint8_t>(gain)});
            }
            if (auto pan = pans.find(n.track); pan == pans.end() || pan->second != n.pan) {
                pans[n.track] = n.pan;
                song.writes.push_back({now(), static_cast<std::uint16_t>(panAddress + n.track),
                                       adpcmChip, static_cast<std::uint8_t>(n.pan)});
            }
            song.writes.push_back({now(), static_cast<std::uint16_t>(n.track), adpcmChip, *index});
        }
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
                tagUnplayed(song, driver.unplayed());
                return song;
            }
        }
        scaledTime += static_cast<std::uint64_t>(mdx::MdxDriver::timerBUnit) *
                      (mdx::MdxDriver::timerBSteps - driver.timerB()) * sampleRate;
    }
    // The song ended at the start of its last tick (or was cut).
    song.loop.reset();
    song.length = driver.ended() ? lastTick : now();
    tagUnplayed(song, driver.unplayed());
    return song;
}

} // namespace songs
