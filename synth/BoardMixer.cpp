// The board's chips, resampled to 48 kHz and mixed; see BoardMixer.h.
#include "synth/BoardMixer.h"

#include "synth/Ssg.h"
#include "synth/Ym2151.h"
#include "synth/Ym2413.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <variant>

namespace synth {

namespace {

// Output frames rendered in one go; the buffers are sized for it.
constexpr std::size_t sliceFrames = 256;
// Resampled frames a chip can hold ahead of the mix: the resampler hands its
// output over in blocks.
constexpr std::size_t fifoFrames = 8192;
// The share of the output's full scale that the chips' full scales fill.
constexpr double headroom = 0.9;
// The SSG's output coupling: a first-order high-pass at this corner.
constexpr double highPassHz = 10.0;

struct KindTraits {
    std::uint32_t clocksPerFrame;
    int channels;
    double fullScale;
    bool unipolar;
};

constexpr KindTraits traitsOf(BoardMixer::ChipKind kind) {
    switch (kind) {
    case BoardMixer::ChipKind::ssg: return {8, 1, 32766.0, true};
    case BoardMixer::ChipKind::ym2151: return {64, 2, 32768.0, false};
    case BoardMixer::ChipKind::ym2413: return {72, 1, 4590.0, false};
    }
    return {64, 2, 32768.0, false};
}

} // namespace

// One chip with its resampler and the resampled frames not yet mixed.
class BoardMixer::Source {
public:
    Source(ChipKind kind, std::uint32_t clockHz)
        : traits_(traitsOf(kind)), clock_(std::max<std::uint32_t>(clockHz, 1)),
          chip_(makeChip(kind, clock_)) {
        const double inputRate = static_cast<double>(clock_) / traits_.clocksPerFrame;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler_ = soxr_create(inputRate, outputRate, static_cast<unsigned>(traits_.channels),
                                 &error, &io, &quality, nullptr);
        if (error != nullptr) throw std::runtime_error(std::string("resampler: ") + error);
        leadChunk_ = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(inputRate / 1000));
        const auto sliceInput =
            static_cast<std::size_t>(std::ceil(sliceFrames * inputRate / outputRate));
        input_.resize((std::max<std::size_t>(sliceInput, leadChunk_) + 2) * traits_.channels);
        fifo_.resize(fifoFrames * traits_.channels);
        const double rc = 1.0 / (2 * std::numbers::pi * highPassHz);
        highPassKeep_ = static_cast<float>(rc / (rc + 1.0 / outputRate));
        // The lead: enough chip frames (the chip's silence after reset) that
        // the resampler holds a whole slice, whatever the slicing later.
        while (held_ < sliceFrames) {
            lead_ += leadChunk_;
            generate(leadChunk_);
        }
    }
    ~Source() { soxr_delete(resampler_); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    void write(std::uint8_t address, std::uint8_t data) {
        std::visit([&](auto& chip) { chip.write(address, data); }, chip_);
    }
    void reset() {
        std::visit([](auto& chip) { chip.reset(); }, chip_);
    }
    void setGain(double gain) { gain_ = gain * 32768.0 / traits_.fullScale; }
    // The lead in output frames: a write sounds that much after the frames
    // already rendered (the resampler's output is aligned with its input).
    std::uint64_t latencyFrames() const {
        return (lead_ * traits_.clocksPerFrame * outputRate + clock_ / 2) / clock_;
    }
    double gain() const { return gain_; }

    // Generates up to the chip frame that output frame outputEnd stands for
    // (plus the lead), then adds the next frames resampled frames to mix,
    // interleaved stereo.
    void mixInto(float* mix, std::uint64_t outputEnd, std::size_t frames) {
        const std::uint64_t target =
            outputEnd * clock_ / (std::uint64_t{traits_.clocksPerFrame} * outputRate) + lead_;
        if (target > generated_) generate(target - generated_);
        // Should the resampler ever hold back more than at the start, the lead
        // grows to cover it.
        while (held_ < frames) {
            lead_ += leadChunk_;
            generate(leadChunk_);
        }
        const float g = static_cast<float>(gain_);
        if (traits_.channels == 2) {
            for (std::size_t i = 0; i < 2 * frames; ++i)
                mix[i] += fifo_[i] * g;
        } else {
            for (std::size_t i = 0; i < frames; ++i) {
                float sample = fifo_[i];
                if (traits_.unipolar) {
                    highPassOut_ = highPassKeep_ * (highPassOut_ + sample - highPassIn_);
                    // Its decay after the last change ends at 0, not in
                    // subnormal numbers, which are slow on most processors.
                    if (std::abs(highPassOut_) < 1e-20f) highPassOut_ = 0;
                    highPassIn_ = sample;
                    sample = highPassOut_;
                }
                mix[2 * i] += sample * g;
                mix[2 * i + 1] += sample * g;
            }
        }
        const std::size_t used = frames * traits_.channels;
        std::copy(fifo_.begin() + used, fifo_.begin() + held_ * traits_.channels, fifo_.begin());
        held_ -= frames;
    }

private:
    using Chip = std::variant<Ssg, Ym2151, Ym2413>;

    static Chip makeChip(ChipKind kind, std::uint32_t clock) {
        switch (kind) {
        case ChipKind::ssg: return Chip(std::in_place_type<Ssg>, clock);
        case ChipKind::ym2413: return Chip(std::in_place_type<Ym2413>, clock);
        case ChipKind::ym2151: break;
        }
        return Chip(std::in_place_type<Ym2151>, clock);
    }

    // Generates count chip frames and passes them through the resampler.
    void generate(std::uint64_t count) {
        const std::size_t capacity = input_.size() / traits_.channels;
        while (count > 0) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, capacity));
            std::visit([&](auto& chip) { chip.generate(input_.data(), n); }, chip_);
            generated_ += n;
            count -= n;
            std::size_t consumed = 0;
            while (consumed < n) {
                std::size_t taken = 0, produced = 0;
                soxr_process(resampler_, input_.data() + consumed * traits_.channels, n - consumed,
                             &taken, fifo_.data() + held_ * traits_.channels, fifoFrames - held_,
                             &produced);
                consumed += taken;
                held_ += produced;
                if (taken == 0 && produced == 0) break; // full: cannot happen at these sizes
            }
        }
    }

    KindTraits traits_;
    std::uint32_t clock_;
    Chip chip_;
    soxr_t resampler_ = nullptr;
    double gain_ = 0;
    std::uint64_t generated_ = 0; // chip frames generated
    std::uint64_t lead_ = 0;      // chip frames generated ahead of the output
    std::uint64_t leadChunk_ = 1; // about a millisecond of chip frames
    std::vector<std::int16_t> input_;
    std::vector<float> fifo_; // resampled frames not yet mixed, interleaved
    std::size_t held_ = 0;    // frames in fifo_
    float highPassKeep_ = 1;
    float highPassIn_ = 0;
    float highPassOut_ = 0;
};

BoardMixer::BoardMixer() : mix_(2 * sliceFrames) {}

BoardMixer::~BoardMixer() = default;

std::size_t BoardMixer::addChip(ChipKind kind, std::uint32_t clockHz) {
    chips_.push_back(std::make_unique<Source>(kind, clockHz));
    for (auto& chip : chips_)
        chip->setGain(headroom / static_cast<double>(chips_.size()));
    return chips_.size() - 1;
}

void BoardMixer::write(std::size_t chip, std::uint8_t address, std::uint8_t data) {
    if (chip < chips_.size()) chips_[chip]->write(address, data);
}

void BoardMixer::reset() {
    for (auto& chip : chips_)
        chip->reset();
}

std::uint64_t BoardMixer::latencyFrames(std::size_t chip) const {
    return chip < chips_.size() ? chips_[chip]->latencyFrames() : 0;
}

double BoardMixer::gain(std::size_t chip) const {
    return chip < chips_.size() ? chips_[chip]->gain() : 0.0;
}

void BoardMixer::render(std::int16_t* leftRight, std::size_t frames) {
    while (frames > 0) {
        const std::size_t n = std::min(frames, sliceFrames);
        renderSlice(leftRight, n);
        leftRight += 2 * n;
        frames -= n;
    }
}

void BoardMixer::renderSlice(std::int16_t* leftRight, std::size_t frames) {
    std::fill(mix_.begin(), mix_.begin() + 2 * frames, 0.0f);
    rendered_ += frames;
    for (auto& chip : chips_)
        chip->mixInto(mix_.data(), rendered_, frames);
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        const float scaled = std::nearbyint(mix_[i] * 32768.0f);
        leftRight[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
}

} // namespace synth
