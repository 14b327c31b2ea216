// The boards as a destination; see BoardDestination.h.
#include "tavroplay/BoardDestination.h"

#include "common/AudibleBoard.h"
#include "common/Platform.h"
#include "common/ThreadScheduling.h"
#include "tavroplay/FamilyFactory.h"
#include "tavroplay/LinkHeadStart.h"
#include "tavroplay/LinkLoad.h"
#include "tavroplay/RealTimeline.h"

namespace tavroplay {

namespace {
constexpr std::uint32_t drainStepMilliseconds = 10;
// Beyond the send delay, for the last writes to leave the link.
constexpr std::int32_t drainMarginMilliseconds = 20;
// The longest wait for the speakers to tell when they sound.
constexpr std::chrono::milliseconds speakerTimingWait{500};
} // namespace

BoardDestination::BoardDestination(SoundInterfaceManager& manager, const std::atomic<bool>& stop,
                                   std::function<std::uint32_t(const std::string&)> linkSpeed)
    : manager_(manager), stop_(stop), sendDelay_(manager.getSendDelay()), boards_(manager),
      linkSpeed_(std::move(linkSpeed)) {}

std::optional<PlacedChip> BoardDestination::place(songs::ChipType type, std::uint32_t clock) {
    if (type == songs::ChipType::msm6258) {
        if (song_ == nullptr || song_->pcm.empty() || speaker_) return std::nullopt;
        speaker_ = SampleSpeaker::open(song_->pcm, aheadMilliseconds(), speakerError_);
        if (!speaker_) return std::nullopt;
        return PlacedChip{speaker_.get(), clock, "the speakers"};
    }
    const std::optional<std::int32_t> libraryType = libraryChipType(type);
    if (!libraryType) return std::nullopt;
    const auto found = boards_.acquire(*libraryType, clock);
    if (!found) return std::nullopt;
    acquired_.push_back(found->chip);
    boardsUsed_.push_back(found->board);
    sinks_.push_back(std::make_unique<Sink>(found->chip));
    return PlacedChip{sinks_.back().get(), found->clock, found->board};
}

void BoardDestination::begin() {
    // Each song starts on chips in their reset state.
    manager_.resetInterfaces();
    // The send delay is the song's now; the song starts once the speakers
    // tell when they sound, so that its first samples are on time.
    if (speaker_) {
        speaker_->setAhead(aheadMilliseconds());
        speaker_->waitForTiming(speakerTimingWait);
    }
    // This thread keeps the song's time from here to end; reading the next
    // song is no timing work.
    platform::requestRealTimeScheduling();
}

std::unique_ptr<Timeline> BoardDestination::timeline(std::vector<ChipFamily*> chips,
                                                     StatusFunction status) {
    return std::make_unique<RealTimeline>(std::move(chips), std::move(status), stop_,
                                          [this] { waitForTheWire(0.0); });
}

void BoardDestination::waitForTheWire(double laterMilliseconds) const {
    const double delay = manager_.getSendDelay() + laterMilliseconds;
    for (std::int32_t waited = 0; waited < delay + drainMarginMilliseconds;
         waited += drainStepMilliseconds)
        platform::sleepMilliseconds(drainStepMilliseconds);
}

void BoardDestination::end(bool) {
    // What was sent leaves after the library's send delay: waited for, so
    // that the end of a song is heard and, after a stop or a skip too, the
    // silence (every channel keyed off) reaches the wire before the reset
    // clears what is queued.
    // The samples placed for the audible virtual board sound that much
    // later still.
    waitForTheWire(speaker_ ? speakerDelayMilliseconds() : 0.0);
    manager_.resetInterfaces();
    manager_.setSendDelay(sendDelay_);
    platform::leaveRealTimeScheduling();
    release();
}

double BoardDestination::aheadMilliseconds() const {
    constexpr double millisecondsPerSecond = 1000;
    return manager_.getSendDelay() + millisecondsPerSecond / linkWritesPerSecond() +
           speakerDelayMilliseconds();
}

double BoardDestination::speakerDelayMilliseconds() const {
    return platform::boardsHeardThroughTheSpeakers() ? platform::boardSoundDelayMs : 0.0;
}

std::string BoardDestination::unplacedReason(songs::ChipType type) const {
    if (type != songs::ChipType::msm6258 || speakerError_.empty()) return {};
    return "no live sound: " + speakerError_;
}

void BoardDestination::setHeadStart(double milliseconds) {
    manager_.setSendDelay(sendDelayFor(sendDelay_, milliseconds));
}

double BoardDestination::linkWritesPerSecond() const {
    std::uint32_t speed = 0;
    for (const std::string& board : boardsUsed_) {
        const std::uint32_t own = linkSpeed_ ? linkSpeed_(board) : defaultLinkSpeed;
        if (own != 0 && (speed == 0 || own < speed)) speed = own;
    }
    return linkCapacity(speed != 0 ? speed : defaultLinkSpeed);
}

void BoardDestination::release() {
    speaker_.reset();
    speakerError_.clear();
    song_ = nullptr;
    for (SoundChip* chip : acquired_)
        boards_.release(chip);
    acquired_.clear();
    boardsUsed_.clear();
    sinks_.clear();
}

} // namespace tavroplay
