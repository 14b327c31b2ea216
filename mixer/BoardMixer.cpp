// The board's chips, resampled to 48 kHz and mixed; see BoardMixer.h.
#include "mixer/BoardMixer.h"

#include "synth/Ssg.h"
#include "synth/Ym2151.h"
#include "synth/Ym2413.h"
#include "tavro/SoundInterface.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <variant>

namespace mixer {

namespace {

// Output frames rendered in one go; the buffers are sized for it.
constexpr std::size_t sliceFrames = 256;
// Resampled frames a chip can hold ahead of the mix: the resampler hands its
// output over in blocks.
constexpr std::size_t fifoFrames = 8192;
// The SSG's output coupling: a first-order high-pass at this corner.
constexpr double highPassHz = 10.0;

// What the mixer needs of a chip: what its class states, and its share of the
// output (the mixing rule, see BoardMixer.h).
struct ChipFacts {
    std::uint32_t clocksPerFrame;
    std::size_t outputs;
    double fullScale;
    bool unipolar;
    double fullScaleShare;
};

template <class Chip> constexpr ChipFacts factsOf(double fullScaleShare) {
    return {Chip::clocksPerFrame, Chip::outputs, static_cast<double>(Chip::fullScale),
            Chip::unipolar, fullScaleShare};
}

// One YM2151 voice at full volume, a quarter of its full scale, at 0.3 of the
// output's full scale: -22.5 dBFS; the SSG's full scale at 0.3 too.
constexpr double ym2151Share = 0.3;
constexpr double ssgShare = 0.3;
// A YM2413 melody voice (255 of its 4590 steps) this far below a YM2151 voice
// (a quarter of 32768), as the fast reference emulator puts them (measured by
// the mixer's tests).
constexpr double ym2413VoiceBelowYm2151Db = 7.0;
constexpr double ym2413VoiceSteps = 255;
constexpr double ym2151VoiceShareOfFullScale = 0.25;

using Chip = std::variant<synth::Ssg, synth::Ym2151, synth::Ym2413>;

// The software chip of a type code and its facts; nothing for other types.
std::optional<ChipFacts> factsOfType(std::int32_t chipType) {
    switch (chipType) {
    case tavro::chipTypePsg: return factsOf<synth::Ssg>(ssgShare);
    case tavro::chipTypeYm2151: return factsOf<synth::Ym2151>(ym2151Share);
    case tavro::chipTypeYm2413: {
        const double voiceShare = ym2151Share * ym2151VoiceShareOfFullScale *
                                  std::pow(10.0, -ym2413VoiceBelowYm2151Db / 20.0);
        return factsOf<synth::Ym2413>(voiceShare * synth::Ym2413::fullScale / ym2413VoiceSteps);
    }
    default: return std::nullopt;
    }
}

Chip makeChip(std::int32_t chipType, std::uint32_t clockHz) {
    switch (chipType) {
    case tavro::chipTypePsg: return Chip(std::in_place_type<synth::Ssg>);
    case tavro::chipTypeYm2413: return Chip(std::in_place_type<synth::Ym2413>);
    default: break;
    }
    return Chip(std::in_place_type<synth::Ym2151>, clockHz);
}

} // namespace

// One chip with its resampler and the resampled frames not yet mixed.
class BoardMixer::Source {
public:
    Source(std::int32_t chipType, const ChipFacts& facts, std::uint32_t clockHz)
        : facts_(facts), clock_(clockHz), chip_(makeChip(chipType, clockHz)),
          gain_(facts.fullScaleShare * 32768.0 / facts.fullScale) {
        const double inputRate = static_cast<double>(clock_) / facts_.clocksPerFrame;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler_ = soxr_create(inputRate, outputRate, static_cast<unsigned>(facts_.outputs),
                                 &error, &io, &quality, nullptr);
        if (error != nullptr) throw std::runtime_error(std::string("resampler: ") + error);
        leadChunk_ = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(inputRate / 1000));
        const auto sliceInput =
            static_cast<std::size_t>(std::ceil(sliceFrames * inputRate / outputRate));
        input_.resize((std::max<std::size_t>(sliceInput, leadChunk_) + 2) * facts_.outputs);
        fifo_.resize(fifoFrames * facts_.outputs);
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
    // The lead in output frames: a write sounds that much after the frames
    // already rendered (the resampler's output is aligned with its input).
    std::uint64_t latencyFrames() const {
        return (lead_ * facts_.clocksPerFrame * outputRate + clock_ / 2) / clock_;
    }
    double gain() const { return gain_; }

    // Generates up to the chip frame that output frame outputEnd stands for
    // (plus the lead), then adds the next frames resampled frames to mix,
    // interleaved stereo.
    void mixInto(float* mix, std::uint64_t outputEnd, std::size_t frames) {
        const std::uint64_t target =
            outputEnd * clock_ / (std::uint64_t{facts_.clocksPerFrame} * outputRate) + lead_;
        if (target > generated_) generate(target - generated_);
        // Should the resampler ever hold back more than at the start, the lead
        // grows to cover it.
        while (held_ < frames) {
            lead_ += leadChunk_;
            generate(leadChunk_);
        }
        const float g = static_cast<float>(gain_);
        if (facts_.outputs == 2) {
            for (std::size_t i = 0; i < 2 * frames; ++i)
                mix[i] += fifo_[i] * g;
        } else {
            for (std::size_t i = 0; i < frames; ++i) {
                float sample = fifo_[i];
                if (facts_.unipolar) {
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
        const std::size_t used = frames * facts_.outputs;
        std::copy(fifo_.begin() + used, fifo_.begin() + held_ * facts_.outputs, fifo_.begin());
        held_ -= frames;
    }

private:
    // Passes the waiting chip frames to the resampler, as far as the FIFO has
    // room for its output; what it cannot take yet stays waiting.
    void feed() {
        std::size_t consumed = 0;
        while (consumed < waiting_) {
            std::size_t taken = 0, produced = 0;
            soxr_process(resampler_, input_.data() + consumed * facts_.outputs,
                         waiting_ - consumed, &taken, fifo_.data() + held_ * facts_.outputs,
                         fifoFrames - held_, &produced);
            consumed += taken;
            held_ += produced;
            if (taken == 0 && produced == 0) break; // the FIFO is full
        }
        std::copy(input_.begin() + consumed * facts_.outputs,
                  input_.begin() + waiting_ * facts_.outputs, input_.begin());
        waiting_ -= consumed;
    }

    // Generates count chip frames and passes them through the resampler. A
    // chip generates only into an empty input buffer, so should the FIFO ever
    // be full, the chip waits (and its frames with it) instead of losing any.
    void generate(std::uint64_t count) {
        const std::size_t capacity = input_.size() / facts_.outputs;
        while (count > 0) {
            feed();
            if (waiting_ > 0) return;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, capacity));
            std::visit([&](auto& chip) { chip.generate(input_.data(), n); }, chip_);
            generated_ += n;
            count -= n;
            waiting_ = n;
        }
        feed();
    }

    ChipFacts facts_;
    std::uint32_t clock_;
    Chip chip_;
    soxr_t resampler_ = nullptr;
    double gain_ = 0;
    std::uint64_t generated_ = 0; // chip frames generated
    std::uint64_t lead_ = 0;      // chip frames generated ahead of the output
    std::uint64_t leadChunk_ = 1; // about a millisecond of chip frames
    std::vector<std::int16_t> input_;
    std::size_t waiting_ = 0; // chip frames in input_ the resampler has not taken
    std::vector<float> fifo_; // resampled frames not yet mixed, interleaved
    std::size_t held_ = 0;    // frames in fifo_
    float highPassKeep_ = 1;
    float highPassIn_ = 0;
    float highPassOut_ = 0;
};

BoardMixer::BoardMixer() : mix_(2 * sliceFrames) {}

BoardMixer::~BoardMixer() = default;

bool BoardMixer::plays(std::int32_t chipType) {
    return factsOfType(chipType).has_value();
}

double BoardMixer::fullScaleShare(std::int32_t chipType) {
    const std::optional<ChipFacts> facts = factsOfType(chipType);
    return facts ? facts->fullScaleShare : 0.0;
}

std::optional<std::size_t> BoardMixer::addChip(std::int32_t chipType, std::uint32_t clockHz) {
    const std::optional<ChipFacts> facts = factsOfType(chipType);
    if (!facts || clockHz < minClockHz || clockHz > maxClockHz) return std::nullopt;
    chips_.push_back(std::make_unique<Source>(chipType, *facts, clockHz));
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

} // namespace mixer
