// Measuring tones in rendered sound: the amplitude of one frequency
// (Hann-windowed DFT evaluated at that frequency) and the peak of that
// amplitude near a frequency, for the mixer's and the audible board's tests.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace toneanalysis {

// One channel of interleaved 16-bit frames, as doubles.
inline std::vector<double> channel(const std::vector<std::int16_t>& leftRight, int which,
                                   std::size_t firstFrame = 0) {
    std::vector<double> samples;
    for (std::size_t i = 2 * firstFrame + static_cast<std::size_t>(which); i < leftRight.size();
         i += 2)
        samples.push_back(leftRight[i]);
    return samples;
}

// The amplitude of the sine at frequency hz in samples (a pure sine of
// amplitude A at hz gives A).
inline double amplitudeAt(const std::vector<double>& samples, double rate, double hz) {
    const std::size_t n = samples.size();
    if (n < 2) return 0;
    const double step = 2 * std::numbers::pi * hz / rate;
    const std::complex<double> rotation(std::cos(step), -std::sin(step));
    std::complex<double> phasor(1, 0), sum(0, 0);
    double windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
        sum += samples[i] * window * phasor;
        windowSum += window;
        phasor *= rotation;
        if (i % 1024 == 0) phasor /= std::abs(phasor);
    }
    return 2 * std::abs(sum) / windowSum;
}

// The frequency within hz * (1 +- fraction) where amplitudeAt() peaks.
inline double peakNear(const std::vector<double>& samples, double rate, double hz,
                       double fraction) {
    const double bin = rate / static_cast<double>(samples.size());
    double low = hz * (1 - fraction), high = hz * (1 + fraction);
    double best = low, bestAmplitude = -1;
    for (double f = low; f <= high; f += bin / 4) {
        const double amplitude = amplitudeAt(samples, rate, f);
        if (amplitude > bestAmplitude) {
            bestAmplitude = amplitude;
            best = f;
        }
    }
    low = best - bin / 4;
    high = best + bin / 4;
    while (high - low > 1e-4) { // golden-section search on the main lobe
        const double a = high - (high - low) * 0.618034, b = low + (high - low) * 0.618034;
        if (amplitudeAt(samples, rate, a) < amplitudeAt(samples, rate, b))
            low = a;
        else
            high = b;
    }
    return (low + high) / 2;
}

inline double decibels(double amplitude, double reference = 32768.0) {
    return 20 * std::log10(amplitude / reference);
}

} // namespace toneanalysis
