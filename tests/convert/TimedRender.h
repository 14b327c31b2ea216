// Test support for the conversions' measurements: writes timed in seconds,
// rendered through any chip one sample at a time, and stretches of the
// result cut out by seconds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace convert::testing {

struct TimedWrite {
    double seconds;
    std::uint16_t address;
    std::uint8_t data;
};

// Renders `seconds` at `rate` samples a second: before each sample, the
// writes due by then go to write(address, data); sample() gives the sample.
template <class Write, class Sample>
std::vector<double> renderTimed(const std::vector<TimedWrite>& writes, double rate, double seconds,
                                Write write, Sample sample) {
    std::vector<double> out;
    std::size_t next = 0;
    const auto samples = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < samples; ++i) {
        while (next < writes.size() && writes[next].seconds * rate <= i) {
            write(writes[next].address, writes[next].data);
            ++next;
        }
        out.push_back(sample());
    }
    return out;
}

// The samples from `from` to `to` seconds.
inline std::vector<double> part(const std::vector<double>& samples, double rate, double from,
                                double to) {
    const auto first = std::min(samples.size(), static_cast<std::size_t>(from * rate));
    const auto last = std::min(samples.size(), static_cast<std::size_t>(to * rate));
    return {samples.begin() + static_cast<std::ptrdiff_t>(first),
            samples.begin() + static_cast<std::ptrdiff_t>(last)};
}

// Seconds from `from` to the first sample whose magnitude passes threshold.
inline double onset(const std::vector<double>& samples, double rate, double from,
                    double threshold) {
    for (auto i = static_cast<std::size_t>(from * rate); i < samples.size(); ++i)
        if (samples[i] > threshold || samples[i] < -threshold) return i / rate - from;
    return 1e9;
}

} // namespace convert::testing
