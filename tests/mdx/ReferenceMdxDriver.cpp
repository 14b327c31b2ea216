// ReferenceMdxDriver: see ReferenceMdxDriver.h.
#include "ReferenceMdxDriver.h"

#include <cmath>

#include <mdx_util.h>
#include <mxdrv.h>
#include <x68sound.h>
#include <x68sound_context.h>

namespace mdxtest {
namespace {

constexpr int sampleRate = 44100;
// Rendered a few samples at a time: a tick (at least 256 microseconds) is
// longer than that, so every tick's writes are told apart.
constexpr int samplesPerStep = 8;
constexpr int memoryPool = 8 * 1024 * 1024;
constexpr int mdxBufferSize = 0x10000;
constexpr int pdxBufferSize = 0x100000;
constexpr unsigned firstTimerRegister = 0x10;
constexpr unsigned lastTimerRegister = 0x14;

// The driver's callbacks carry no context: one recording at a time.
ReferenceRecord* recording = nullptr;
std::vector<mdx::Ym2151Write>* current = nullptr;
unsigned char pendingAddress = 0;

void onTick() {
    recording->ticks.emplace_back();
    current = &recording->ticks.back();
}

// One run of the reference driver: started with the song in its buffers;
// play() starts the song, the destructor ends the driver.
class ReferenceRun {
public:
    ReferenceRun(const std::vector<std::uint8_t>& mdx, const std::vector<std::uint8_t>& pdx,
                 bool pcm8) {
        MxdrvContext_Initialize(&context_, memoryPool);
        MXDRV_Start(&context_, sampleRate, 0, 0, 0, mdxBufferSize, pdxBufferSize, 0);
        MXDRV_PCM8Enable(&context_, pcm8 ? 1 : 0);
        const auto pdxBytes = static_cast<std::uint32_t>(pdx.size());
        MdxGetRequiredBufferSize(mdx.data(), static_cast<std::uint32_t>(mdx.size()), pdxBytes,
                                 &mdxSize_, &pdxSize_);
        mdxBuffer_.resize(mdxSize_);
        pdxBuffer_.resize(pdxSize_);
        hasPdx_ = !pdx.empty();
        MdxUtilCreateMdxPdxBuffer(mdx.data(), static_cast<std::uint32_t>(mdx.size()),
                                  hasPdx_ ? pdx.data() : nullptr, pdxBytes, mdxBuffer_.data(),
                                  mdxSize_, hasPdx_ ? pdxBuffer_.data() : nullptr, pdxSize_);
    }
    ~ReferenceRun() {
        MXDRV_End(&context_);
        MxdrvContext_Terminate(&context_);
    }
    ReferenceRun(const ReferenceRun&) = delete;
    ReferenceRun& operator=(const ReferenceRun&) = delete;

    MxdrvContext* context() { return &context_; }
    void play() {
        MXDRV_Play(&context_, mdxBuffer_.data(), mdxSize_, hasPdx_ ? pdxBuffer_.data() : nullptr,
                   pdxSize_);
    }

private:
    MxdrvContext context_{};
    std::uint32_t mdxSize_ = 0;
    std::uint32_t pdxSize_ = 0;
    std::vector<std::uint8_t> mdxBuffer_;
    std::vector<std::uint8_t> pdxBuffer_;
    bool hasPdx_ = false;
};

} // namespace

ReferenceRecord recordReference(const std::vector<std::uint8_t>& mdx,
                                const std::vector<std::uint8_t>& pdx, int maxTicks) {
    ReferenceRecord record;
    ReferenceRun run(mdx, pdx, false);
    *static_cast<MXCALLBACK_OPMINTFUNC**>(
        const_cast<void*>(MXDRV_GetWork(run.context(), MXDRV_CALLBACK_OPMINT))) = &onTick;
    recording = &record;
    current = &record.start;
    run.play();
    // The callback comes at the end of each tick: the writes after it belong
    // to the next one.
    record.ticks.emplace_back();
    current = &record.ticks.back();
    short samples[2 * samplesPerStep];
    // The longest tick (timer B at 0) lasts 1024 x 256 chip clocks: a driver
    // that stops ticking stops the recording there.
    constexpr double longestTick = 1024.0 * 256 / 4000000;
    const long maxSteps =
        static_cast<long>(maxTicks * longestTick * sampleRate / samplesPerStep) + 1;
    for (long step = 0; step < maxSteps && static_cast<int>(record.ticks.size()) <= maxTicks;
         ++step) {
        MXDRV_GetPCM(run.context(), samples, samplesPerStep);
        if (MXDRV_GetTerminated(run.context())) {
            record.ended = true;
            break;
        }
    }
    record.ticks.pop_back(); // the tick under way
    recording = nullptr;
    current = nullptr;
    return record;
}

std::vector<double> referenceLevels(const std::vector<std::uint8_t>& mdx,
                                    const std::vector<std::uint8_t>& pdx, int windowMilliseconds,
                                    int windows, bool pcm8) {
    ReferenceRun run(mdx, pdx, pcm8);
    run.play();
    const int frames = sampleRate * windowMilliseconds / 1000;
    std::vector<short> buffer(2 * static_cast<std::size_t>(frames));
    std::vector<double> levels;
    for (int w = 0; w < windows; ++w) {
        MXDRV_GetPCM(run.context(), buffer.data(), frames);
        double sum = 0;
        for (short sample : buffer)
            sum += static_cast<double>(sample) * sample;
        levels.push_back(std::sqrt(sum / static_cast<double>(buffer.size())));
    }
    return levels;
}

} // namespace mdxtest

// The reference's chip calls, routed here by the test build.
extern "C" void recordOpmReg(X68SoundContext* context, unsigned char address) {
    mdxtest::pendingAddress = address;
    X68Sound_OpmReg(context, address);
}

extern "C" void recordOpmPoke(X68SoundContext* context, unsigned char data) {
    using namespace mdxtest;
    if (current && (pendingAddress < firstTimerRegister || pendingAddress > lastTimerRegister))
        current->push_back({pendingAddress, data});
    X68Sound_OpmPoke(context, data);
}
