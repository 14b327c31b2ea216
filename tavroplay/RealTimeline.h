// RealTimeline: the board player's time. Each position is due at its sample
// time on the file's 44,100 Hz clock, counted from one absolute start on the
// host's monotonic clock, so waits never add up to drift. While waiting it
// reads the keys (space pause, n next, p previous, q quit, left and right
// arrows seek; a seek moves the start so that the new position is due now),
// the stop request,
// and refreshes the status line about ten times a second. A pause silences
// the chips; resuming restores their registers and moves the start on by the
// time paused. A stop of the job (Ctrl+Z) is a pause until the job goes on:
// the process stops once the silence has reached the boards.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "client/HostClock.h"
#include "tavroplay/ChipFamily.h"
#include "tavroplay/SongPlayer.h"

namespace tavroplay {

class RealTimeline : public Timeline {
public:
    // status, when given, is called with the position about ten times a
    // second and whenever the pause state changes; stop, once set, ends
    // playing (Request::stop); drain returns once what was written has left
    // for the boards.
    RealTimeline(std::vector<ChipFamily*> chips,
                 std::function<void(const Position&, bool paused)> status,
                 const std::atomic<bool>& stop, std::function<void()> drain);

    Request reach(const Position& position) override;
    std::uint64_t heardSample(const Position& position) const override;
    void jumped(const Position& position) override;

    // Nanoseconds from the start to the sample's time.
    static std::int64_t dueNanoseconds(std::uint64_t sample);

private:
    static std::uint64_t samplesOf(std::int64_t nanoseconds);
    Request pause(const Position& position);
    // Ctrl+Z: the chips silent on the boards before the process stops, as
    // they were once it goes on.
    void suspend(const Position& position, bool paused);
    Request keyRequest(int key) const;
    void sleepUntil(std::int64_t due);
    void showStatus(const Position& position, bool paused);

    std::vector<ChipFamily*> chips_;
    std::function<void(const Position&, bool)> status_;
    const std::atomic<bool>& stop_;
    std::function<void()> drain_;
    HostClock clock_;
    std::int64_t start_ = 0;
    std::int64_t lastStatus_ = -1;
    bool started_ = false;
};

} // namespace tavroplay
