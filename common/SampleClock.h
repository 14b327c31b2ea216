// SampleClock: which frame of a live sound output is heard at a moment of
// the host's monotonic clock, so that sound made for the output (the samples
// of a song on a board, the audible virtual board's chips) starts at a host
// time, in step with the song's other writes. The output tells, each time it asks for frames, when
// the first of them will be heard (now plus the latency its server reports); the clock keeps the
// host time of frame 0 from these reports, smoothed, so that the jitter of single reports does not
// move a start, while a device whose clock runs apart from the host's (a sound card's crystal, some
// parts in 10^4) is followed report by report and never drifts. When the output's timing really
// moves (it ran dry, or the server stalled), every report from then on lies far from the estimate:
// the second such report in a row, agreeing with the first, re-anchors it. A lone report far off
// (the reporting thread woken late on a loaded machine, between reading the server's latency and
// the host's clock) moves nothing.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

class SampleClock {
public:
    // Beyond this a report does not nudge the clock: with the next one it
    // re-anchors it, alone it is passed over.
    static constexpr std::int64_t reanchorNanoseconds = 10'000'000;
    // Each report moves the estimate by this fraction of its difference;
    // the first ones (after an anchoring) by their share of those so far, so
    // that the estimate starts as their mean.
    static constexpr double smoothing = 1.0 / 32;

    explicit SampleClock(std::uint32_t rate) : rate_(rate) {}

    // Frame `frame` of the output is heard at host time heardNs.
    void observe(std::uint64_t frame, std::int64_t heardNs);
    // The frame heard at host time ns (0 for a time before frame 0); nothing
    // before the first report.
    std::optional<std::uint64_t> frameAt(std::int64_t ns) const;
    // Host time at which a frame is heard; nothing before the first report.
    std::optional<std::int64_t> heardAt(std::uint64_t frame) const;
    // Reports that re-anchored the clock after the first.
    std::uint64_t reanchors() const { return reanchors_; }

private:
    double originOf(std::uint64_t frame, std::int64_t heardNs) const;

    std::uint32_t rate_;
    std::optional<double> originNs_; // host time of frame 0
    std::uint64_t reanchors_ = 0;
    std::uint64_t reports_ = 0;         // since the last anchoring
    std::optional<double> farOriginNs_; // the last report, when it lay far off
};

} // namespace platform
