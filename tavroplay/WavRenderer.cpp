// Rendering to a WAV file through the software chips; see WavRenderer.h.
//
// Each file's chips become software chips of the board mixer at the file's
// own clocks (so no clock correction), and each stretch of time between
// writes is rendered at once: as fast as the machine allows. The files follow
// one another in one 48 kHz, 16-bit stereo WAV file. Chips the software
// chips do not cover (YM2203, YM2608) are dropped with a notice, as missing
// board chips are.
#include "tavroplay/WavRenderer.h"

#include <sndfile.h>

#include <array>
#include <iostream>
#include <memory>
#include <vector>

#include "client/StopRequest.h"
#include "synth/BoardMixer.h"
#include "tavroplay/Display.h"
#include "tavroplay/FileChips.h"
#include "tavroplay/SongPlayer.h"
#include "vgm/VgmFile.h"

namespace tavroplay {

namespace {

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return terminalText(std::string(text.begin(), text.end()));
}

class MixerSink : public RegisterSink {
public:
    MixerSink(synth::BoardMixer& mixer, std::size_t chip) : mixer_(mixer), chip_(chip) {}
    void write(std::uint16_t address, std::uint8_t data) override {
        if (address < 0x100) mixer_.write(chip_, static_cast<std::uint8_t>(address), data);
    }

private:
    synth::BoardMixer& mixer_;
    std::size_t chip_;
};

// Renders the mixer's output up to each position and writes it out.
class RenderTimeline : public Timeline {
public:
    RenderTimeline(synth::BoardMixer& mixer, SNDFILE* out) : mixer_(mixer), out_(out) {}

    Request reach(const Position& position) override {
        if (stopFlag.load(std::memory_order_relaxed)) return Request::stop;
        const std::uint64_t target =
            position.sample * synth::BoardMixer::outputRate / vgm::sampleRate;
        while (frames_ < target) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(target - frames_, blockFrames));
            mixer_.render(buffer_.data(), count);
            if (sf_writef_short(out_, buffer_.data(), static_cast<sf_count_t>(count)) !=
                static_cast<sf_count_t>(count)) {
                failed_ = true;
                return Request::stop;
            }
            frames_ += count;
        }
        return Request::go;
    }
    bool failed() const { return failed_; }
    std::uint64_t frames() const { return frames_; }

private:
    static constexpr std::size_t blockFrames = 4096;
    synth::BoardMixer& mixer_;
    SNDFILE* out_;
    std::array<std::int16_t, 2 * blockFrames> buffer_{};
    std::uint64_t frames_ = 0;
    bool failed_ = false;
};

struct SoftwareChip {
    std::unique_ptr<MixerSink> sink;
    std::unique_ptr<PlayedChip> chip;
};

// Plays one file into the WAV file; false when it could not be played.
bool renderFile(const CommandLine& line, const PlayItem& item, SNDFILE* out, bool& writeFailed) {
    const std::string name = displayName(item.path);
    if (!item.fault.empty()) {
        std::cerr << name << ": " << item.fault << std::endl;
        return false;
    }
    std::string error;
    const std::optional<vgm::VgmFile> file = vgm::VgmFile::load(item.path, error);
    if (!file) {
        std::cerr << name << ": " << error << std::endl;
        return false;
    }
    if (!file->warning().empty() && !line.quiet)
        std::cerr << name << ": " << file->warning() << std::endl;
    synth::BoardMixer mixer;
    std::vector<SoftwareChip> chips;
    ChipTable table{};
    std::string missing;
    for (std::size_t kind = 0; kind < vgm::chipCount; ++kind) {
        const auto chip = static_cast<vgm::VgmChip>(kind);
        for (int index = 0; index < 2; ++index) {
            if (!file->writesTo(chip, index)) continue;
            synth::BoardMixer::ChipKind software;
            if (chip == vgm::VgmChip::ym2151)
                software = synth::BoardMixer::ChipKind::ym2151;
            else if (chip == vgm::VgmChip::ym2413)
                software = synth::BoardMixer::ChipKind::ym2413;
            else if (chip == vgm::VgmChip::ay8910)
                software = synth::BoardMixer::ChipKind::ssg;
            else {
                missing += (missing.empty() ? "" : ", ") + chipLabel(chip, index);
                continue;
            }
            const std::size_t number = mixer.addChip(software, fileClockOf(file->header(), chip));
            SoftwareChip entry;
            entry.sink = std::make_unique<MixerSink>(mixer, number);
            entry.chip = std::make_unique<PlayedChip>(chip, 1.0, *entry.sink);
            table[kind][index] = entry.chip.get();
            chips.push_back(std::move(entry));
        }
    }
    if (chips.empty()) {
        std::cerr << name << ": none of its chips has a software chip (" << missing << ")"
                  << std::endl;
        return false;
    }
    if (!missing.empty() && !line.quiet)
        std::cerr << name << ": no software chip, its writes are dropped: " << missing << std::endl;
    RenderTimeline timeline(mixer, out);
    SongPlayer(*file, table, {line.loops, line.fadeSeconds}).play(timeline);
    writeFailed = timeline.failed();
    return true;
}

} // namespace

int renderWav(const CommandLine& line) {
    SF_INFO format{};
    format.samplerate = synth::BoardMixer::outputRate;
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const std::string path = displayName(*line.wav);
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &format);
    if (out == nullptr) {
        std::cerr << path << ": cannot be written: " << sf_strerror(nullptr) << std::endl;
        return 1;
    }
    bool failed = false;
    for (const PlayItem& item : line.items) {
        if (stopFlag.load()) break;
        bool writeFailed = false;
        if (!renderFile(line, item, out, writeFailed)) failed = true;
        if (writeFailed) {
            std::cerr << path << ": cannot be written: " << sf_strerror(out) << std::endl;
            failed = true;
            break;
        }
    }
    if (sf_close(out) != 0) {
        std::cerr << path << ": cannot be written to its end" << std::endl;
        failed = true;
    }
    return failed ? 1 : 0;
}

} // namespace tavroplay
