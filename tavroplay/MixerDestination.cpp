// The software chips as a destination; see MixerDestination.h.
#include "tavroplay/MixerDestination.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <optional>

#include "tavroplay/FamilyFactory.h"

namespace tavroplay {

namespace {
constexpr std::size_t blockFrames = 4096;
constexpr std::size_t channels = 2;
} // namespace

// One software chip's writes. A chip that sounds sooner after a write than
// the slowest of the song's chips gets its writes that much later, so that
// every chip sounds a write the same delay after it.
class MixerDestination::Sink : public RegisterSink {
public:
    Sink(MixerDestination& destination, std::size_t chip)
        : destination_(destination), chip_(chip) {}
    void write(std::uint16_t address, std::uint8_t data) override {
        if (address > 0xFF) return;
        if (lag_ == 0) {
            destination_.mixer_->write(chip_, static_cast<std::uint8_t>(address), data);
            return;
        }
        pending_.push_back(
            {destination_.rendered_ + lag_, static_cast<std::uint8_t>(address), data});
    }
    std::size_t chip() const { return chip_; }
    void setLag(std::uint64_t frames) { lag_ = frames; }
    // The frame the next held write is due at; none when none is held.
    std::optional<std::uint64_t> nextDue() const {
        if (pending_.empty()) return std::nullopt;
        return pending_.front().frame;
    }
    // Passes on the held writes due by a frame.
    void applyDue(std::uint64_t frame) {
        while (!pending_.empty() && pending_.front().frame <= frame) {
            destination_.mixer_->write(chip_, pending_.front().address, pending_.front().data);
            pending_.pop_front();
        }
    }

private:
    struct Pending {
        std::uint64_t frame;
        std::uint8_t address;
        std::uint8_t data;
    };
    MixerDestination& destination_;
    std::size_t chip_;
    std::uint64_t lag_ = 0;
    std::deque<Pending> pending_;
};

// Renders up to each position as it is reached.
class MixerDestination::Render : public Timeline {
public:
    explicit Render(MixerDestination& destination) : destination_(destination) {}
    Request reach(const Position& position) override {
        if (destination_.stop_.load(std::memory_order_relaxed)) return Request::stop;
        const std::uint64_t frame =
            position.sample * mixer::BoardMixer::outputRate / songs::sampleRate;
        destination_.songEnd_ = std::max(destination_.songEnd_, frame);
        if (!destination_.renderTo(frame)) return Request::stop;
        const auto now = std::chrono::steady_clock::now();
        if (destination_.status_ && now - lastStatus_ >= statusPeriod) {
            destination_.status_(position, false);
            lastStatus_ = now;
        }
        return Request::go;
    }

private:
    static constexpr std::chrono::milliseconds statusPeriod{100};
    MixerDestination& destination_;
    std::chrono::steady_clock::time_point lastStatus_{};
};

MixerDestination::MixerDestination(SNDFILE* out, const std::atomic<bool>& stop)
    : out_(out), stop_(stop) {}

MixerDestination::~MixerDestination() = default;

std::optional<PlacedChip> MixerDestination::place(songs::ChipType type, std::uint32_t clock) {
    if (type == songs::ChipType::msm6258) {
        if (song_ == nullptr || pcm_) return std::nullopt;
        // A voice started now sounds when the FM chips sound what is written
        // now: the mixer's delay later.
        pcm_ = std::make_unique<PcmVoices>(song_->pcm, mixer::BoardMixer::outputRate,
                                           [this] { return rendered_ + delay_; });
        return PlacedChip{pcm_.get(), clock, "the software chips"};
    }
    const std::optional<SoftwareChip> software = softwareChip(type);
    if (!software) return std::nullopt;
    if (!mixer_) mixer_ = std::make_unique<mixer::BoardMixer>();
    if (clock == 0) clock = software->defaultClock;
    const std::optional<std::size_t> number = mixer_->addChip(software->type, clock);
    if (!number) return std::nullopt;
    sinks_.push_back(std::make_unique<Sink>(*this, *number));
    return PlacedChip{sinks_.back().get(), clock, "the software chips"};
}

void MixerDestination::begin() {
    rendered_ = 0;
    songEnd_ = 0;
    delay_ = 0;
    if (!mixer_) return;
    for (const auto& sink : sinks_)
        delay_ = std::max(delay_, mixer_->latencyFrames(sink->chip()));
    for (const auto& sink : sinks_)
        sink->setLag(delay_ - mixer_->latencyFrames(sink->chip()));
}

std::unique_ptr<Timeline> MixerDestination::timeline(std::vector<ChipFamily*>,
                                                     StatusFunction status) {
    status_ = std::move(status);
    return std::make_unique<Render>(*this);
}

bool MixerDestination::renderTo(std::uint64_t target) {
    if (failed_ || (!mixer_ && !pcm_)) return !failed_;
    std::array<std::int16_t, channels * blockFrames> buffer{};
    while (true) {
        // Up to the target, or to the next held write first.
        std::uint64_t end = target;
        for (const auto& sink : sinks_) {
            sink->applyDue(rendered_);
            if (const auto due = sink->nextDue()) end = std::min(end, *due);
        }
        if (rendered_ >= end) break;
        // A long wait (hours of silence) is many blocks: a stop ends it.
        if (stop_.load(std::memory_order_relaxed)) return false;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(end - rendered_, blockFrames));
        if (mixer_)
            mixer_->render(buffer.data(), count);
        else
            std::fill_n(buffer.begin(), channels * count, std::int16_t{0});
        if (pcm_) pcm_->mix(buffer.data(), count, rendered_);
        // The mixer sounds each write delay_ frames late: its first frames
        // belong before the song's start and are left out.
        const std::uint64_t skip =
            rendered_ < delay_ ? std::min<std::uint64_t>(delay_ - rendered_, count) : 0;
        rendered_ += count;
        const auto kept = static_cast<sf_count_t>(count - skip);
        if (kept > 0 && sf_writef_short(out_, buffer.data() + channels * skip, kept) != kept) {
            failed_ = true;
            return false;
        }
        written_ += static_cast<std::uint64_t>(kept);
    }
    return true;
}

void MixerDestination::end(bool finished) {
    // The sound of the song's last writes, the mixer's delay after them.
    if (finished) renderTo(songEnd_ + delay_);
    status_ = nullptr;
    sinks_.clear();
    mixer_.reset();
    pcm_.reset();
    song_ = nullptr;
}

} // namespace tavroplay
