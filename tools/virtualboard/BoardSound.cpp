// The board's chips rendered at the wire's times, played and written; see
// BoardSound.h.
#include "tools/virtualboard/BoardSound.h"

#include "common/AudibleBoard.h"
#include "common/AudioOutput.h"
#include "common/SampleClock.h"
#include "mixer/BoardMixer.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace virtualboard {

namespace {

using mixer::BoardMixer;

constexpr std::uint32_t bufferMs = 100; // what the server keeps queued
// Until the server reports its latency; see BoardSound.h.
constexpr double audioLeadMs = platform::boardSoundDelayMs;
constexpr double fileLeadMs = 20.0;
// How far the end of a request may lie from now before the frames are set
// back on the wire's clock.
constexpr double maxAheadMs = -10.0;
constexpr double minAheadMs = -300.0;
constexpr auto pacerPeriod = std::chrono::milliseconds(10);
constexpr double framesPerMs = BoardMixer::outputRate / 1000.0;
constexpr std::size_t pacerChunk = 4800; // frames rendered by the pacer in one go
constexpr double nanosecondsPerMillisecond = 1e6;

struct TimedEvent {
    double ms;
    int position; // -1: reset
    std::uint8_t address;
    std::uint8_t data;
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           std::equal(tail.rbegin(), tail.rend(), text.rbegin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

class MixedBoardSound final : public BoardSound {
public:
    MixedBoardSound(const Settings& settings, std::chrono::steady_clock::time_point epoch)
        : epoch_(epoch) {
        const catalog::BoardLayout& board = *settings.board;
        const auto clock = static_cast<std::int32_t>(settings.clock);
        for (std::size_t position = 0; position < board.chipCount; ++position) {
            // A chip without a software chip of its own plays as its alternate
            // (the SSG as the PSG at the clock the catalog gives it).
            const catalog::ChipPlace& place = board.chips[position];
            std::int32_t type = board.typeAt(position, board.id);
            catalog::ClockRule clockRule = place.clock;
            if (!BoardMixer::plays(type) && place.altType != 0) {
                type = place.altType;
                clockRule = place.altClock;
            }
            chips_[position] = mixer_.addChip(
                type, static_cast<std::uint32_t>(catalog::clockOf(clockRule, clock)));
            if (chips_[position])
                leadFrames_ = std::max(leadFrames_, mixer_.latencyFrames(*chips_[position]));
        }
        incoming_.reserve(4096);
        due_.reserve(4096);
        pacerBuffer_.resize(2 * pacerChunk);
    }

    ~MixedBoardSound() override { stop(); }

    bool openFile(const std::string& path) {
        SF_INFO info{};
        info.samplerate = BoardMixer::outputRate;
        info.channels = 2;
        info.format = (endsWith(path, ".flac") ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
        file_ = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file_ == nullptr) {
            std::fprintf(stderr, "virtual board: cannot write %s: %s\n", path.c_str(),
                         sf_strerror(nullptr));
            return false;
        }
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV)
            sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        return true;
    }

    // Plays on device, unless it is empty or no server answers.
    void startAudio(const std::string& device, double nowMs) {
        originMs_ = nowMs - fileLeadMs;
        if (device.empty()) return;
        originMs_ = nowMs - audioLeadMs;
        std::string error;
        audio_ = platform::AudioOutput::open(
            "tavro virtual board", device, BoardMixer::outputRate, bufferMs,
            [this](std::int16_t* leftRight, std::size_t frames) { pull(leftRight, frames); },
            error);
        live_ = audio_.get();
        if (!audio_) {
            std::fprintf(stderr, "virtual board: no live sound (%s); going on silently\n",
                         error.c_str());
            originMs_ = nowMs - fileLeadMs;
        }
    }

    bool running() const { return audio_ != nullptr || file_ != nullptr; }
    bool playing() const override { return audio_ != nullptr; }

    void startPacer() {
        pacer_ = std::thread([this] { pace(); });
    }

    void write(double ms, int position, std::uint8_t address, std::uint8_t data) override {
        std::lock_guard lock(incomingMutex_);
        incoming_.push_back({ms, position, address, data});
    }

    void reset(double ms) override {
        std::lock_guard lock(incomingMutex_);
        incoming_.push_back({ms, -1, 0, 0});
    }

    Summary finish(double ms) override {
        stop();
        Summary summary;
        if (audio_) {
            summary.latencyMs = audio_->latencyMs();
            audio_->close();
            summary.audio = true;
            summary.audioFailed = audio_->failed();
            summary.underruns = audio_->underruns();
            summary.startLatencyMs = audio_->startLatencyMs();
        } else {
            // The file gets the sound up to the end.
            const std::lock_guard lock(renderMutex_);
            renderUpTo(frameAt(ms));
        }
        const std::lock_guard lock(renderMutex_);
        summary.lateEvents = lateEvents_;
        summary.resyncs = resyncs_;
        summary.frames = rendered_;
        if (file_ != nullptr) summary.wavWritten = sf_close(file_) == 0;
        file_ = nullptr;
        return summary;
    }

private:
    std::uint64_t frameAt(double ms) const {
        const double frame = std::ceil((ms - originMs_) * framesPerMs);
        return frame > 0 ? static_cast<std::uint64_t>(frame) : 0;
    }

    // The frame at which an event of board time ms is applied: the mixer's
    // latency earlier, so that it sounds at frameAt(ms).
    std::uint64_t eventFrameAt(double ms) const {
        const std::uint64_t frame = frameAt(ms);
        return frame > leadFrames_ ? frame - leadFrames_ : 0;
    }

    // The mixer's chip at a board position, if it has one.
    std::optional<std::size_t> chipAt(int position) const {
        const auto index = static_cast<std::size_t>(position);
        return index < chips_.size() ? chips_[index] : std::nullopt;
    }

    double nowMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - epoch_)
            .count();
    }

    void stop() {
        {
            std::lock_guard lock(pacerMutex_);
            stopping_ = true;
        }
        pacerWake_.notify_all();
        if (pacer_.joinable()) pacer_.join();
    }

    // Renders while the server does not: without live sound, or once it is
    // lost.
    void pace() {
        std::unique_lock lock(pacerMutex_);
        while (!pacerWake_.wait_for(lock, pacerPeriod, [this] { return stopping_; })) {
            if (audio_ && !audio_->failed()) continue;
            const std::lock_guard renderLock(renderMutex_);
            renderUpTo(frameAt(nowMs() - fileLeadMs));
        }
    }

    void renderUpTo(std::uint64_t frame) {
        while (rendered_ < frame) {
            const auto frames =
                static_cast<std::size_t>(std::min<std::uint64_t>(frame - rendered_, pacerChunk));
            render(pacerBuffer_.data(), frames);
        }
    }

    // The server's request: the next frames. Once the server tells when its
    // first frame is heard, the frames are placed so that each is heard
    // boardSoundDelayMs after its board time, on the clock kept from those
    // reports (a jump in them, as after running dry, is a resync). Before
    // that its requests run at the sound card's pace: should they fall far
    // behind the wire's clock (a server that starts late) or run ahead of
    // it, the frames are set back to bufferMs - lead, which moves the events
    // of the gap to its end.
    void pull(std::int16_t* leftRight, std::size_t frames) {
        const std::lock_guard lock(renderMutex_);
        const platform::AudioOutput* output = live_.load();
        const double latencyMs = output != nullptr ? output->latencyMs() : -1.0;
        const double now = nowMs();
        if (latencyMs >= 0) {
            const std::uint64_t reanchors = clock_.reanchors();
            clock_.observe(rendered_, std::llround((now + latencyMs) * nanosecondsPerMillisecond));
            originMs_ = static_cast<double>(*clock_.heardAt(0)) / nanosecondsPerMillisecond -
                        platform::boardSoundDelayMs;
            resyncs_ += clock_.reanchors() - reanchors;
        } else {
            const double aheadMs = originMs_ + (rendered_ + frames) / framesPerMs - now;
            if (aheadMs > maxAheadMs || aheadMs < minAheadMs) {
                originMs_ += (bufferMs - audioLeadMs) - aheadMs;
                ++resyncs_;
            }
        }
        render(leftRight, frames);
    }

    // The next frames, with every event applied at its frame; then into the
    // file. Called with renderMutex_ held.
    void render(std::int16_t* leftRight, std::size_t frames) {
        // Events held from an earlier block were known in time: should the
        // clock's smoothing have moved one of them before this block, it is
        // applied at the block's first frame, where it stood, and not late.
        const std::size_t held = due_.size();
        {
            std::lock_guard lock(incomingMutex_);
            due_.insert(due_.end(), incoming_.begin(), incoming_.end());
            incoming_.clear();
        }
        const std::uint64_t end = rendered_ + frames;
        std::size_t applied = 0;
        std::int16_t* out = leftRight;
        for (; applied < due_.size(); ++applied) {
            const TimedEvent& event = due_[applied];
            std::uint64_t at = eventFrameAt(event.ms);
            if (at >= end) break;
            if (at < rendered_) {
                if (applied >= held) ++lateEvents_;
                at = rendered_;
            }
            const auto before = static_cast<std::size_t>(at - rendered_);
            mixer_.render(out, before);
            out += 2 * before;
            rendered_ = at;
            if (event.position < 0)
                mixer_.reset();
            else if (const std::optional<std::size_t> chip = chipAt(event.position))
                mixer_.write(*chip, event.address, event.data);
        }
        due_.erase(due_.begin(), due_.begin() + static_cast<std::ptrdiff_t>(applied));
        mixer_.render(out, static_cast<std::size_t>(end - rendered_));
        rendered_ = end;
        if (file_ != nullptr) sf_writef_short(file_, leftRight, static_cast<sf_count_t>(frames));
    }

    const std::chrono::steady_clock::time_point epoch_;
    double originMs_ = 0;

    std::mutex incomingMutex_;
    std::vector<TimedEvent> incoming_;

    std::mutex renderMutex_; // everything below until the pacer's
    BoardMixer mixer_;
    std::array<std::optional<std::size_t>, catalog::maxChipPlaces> chips_{}; // by position
    std::uint64_t leadFrames_ = 0; // the mixer's largest latency from a write to its sound
    platform::SampleClock clock_{BoardMixer::outputRate}; // board time (ns) of the frames heard
    std::vector<TimedEvent> due_;
    std::uint64_t rendered_ = 0;
    std::uint64_t lateEvents_ = 0;
    std::uint64_t resyncs_ = 0;
    SNDFILE* file_ = nullptr;
    std::vector<std::int16_t> pacerBuffer_;

    std::mutex pacerMutex_;
    std::condition_variable pacerWake_;
    bool stopping_ = false;
    std::thread pacer_;

    std::unique_ptr<platform::AudioOutput> audio_;
    // The output, once open returned (its first requests may come before).
    std::atomic<const platform::AudioOutput*> live_{nullptr};
};

} // namespace

std::unique_ptr<BoardSound> BoardSound::start(const Settings& settings,
                                              std::chrono::steady_clock::time_point epoch,
                                              double nowMs) {
    auto sound = std::make_unique<MixedBoardSound>(settings, epoch);
    if (!settings.wavPath.empty()) sound->openFile(settings.wavPath);
    sound->startAudio(settings.audioDevice, nowMs);
    if (!sound->running()) return nullptr;
    sound->startPacer();
    return sound;
}

} // namespace virtualboard
