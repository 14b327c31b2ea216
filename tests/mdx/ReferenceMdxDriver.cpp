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

} // namespace

ReferenceRecord recordReference(const std::vector<std::uint8_t>& mdx,
                                const std::vector<std::uint8_t>& pdx, int maxTicks) {
    ReferenceRecord record;
    MxdrvContext context;
    MxdrvContext_Initialize(&context, memoryPool);
    MXDRV_Start(&context, sampleRate, 0, 0, 0, mdxBufferSize, pdxBufferSize, 0);
    std::uint32_t mdxSize = 0;
    std::uint32_t pdxSize = 0;
    auto pdxBytes = static_cast<std::uint32_t>(pdx.size());
    MdxGetRequiredBufferSize(mdx.data(), static_cast<std::uint32_t>(mdx.size()), pdxBytes, &mdxSize,
                             &pdxSize);
    std::vector<std::uint8_t> mdxBuffer(mdxSize);
    std::vector<std::uint8_t> pdxBuffer(pdxSize);
    MdxUtilCreateMdxPdxBuffer(mdx.data(), static_cast<std::uint32_t>(mdx.size()),
                              pdx.empty() ? nullptr : pdx.data(), pdxBytes, mdxBuffer.data(),
                              mdxSize, pdx.empty() ? nullptr : pdxBuffer.data(), pdxSize);
    *static_cast<MXCALLBACK_OPMINTFUNC**>(
        const_cast<void*>(MXDRV_GetWork(&context, MXDRV_CALLBACK_OPMINT))) = &onTick;
    recording = &record;
    current = &record.start;
    MXDRV_Play(&context, mdxBuffer.data(), mdxSize, pdx.empty() ? nullptr : pdxBuffer.data(),
               pdxSize);
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
        MXDRV_GetPCM(&context, samples, samplesPerStep);
        if (MXDRV_GetTerminated(&context)) {
            record.ended = true;
            break;
        }
    }
    record.ticks.pop_back(); // the tick under way
    recording = nullptr;
    current = nullptr;
    MXDRV_End(&context);
    MxdrvContext_Terminate(&context);
    return record;
}

std::vector<double> referenceLevels(const std::vector<std::uint8_t>& mdx,
                                    const std::vector<std::uint8_t>& pdx, int windowMilliseconds,
                                    int windows, bool pcm8) {
    MxdrvContext context;
    MxdrvContext_Initialize(&context, memoryPool);
    MXDRV_Start(&context, sampleRate, 0, 0, 0, mdxBufferSize, pdxBufferSize, 0);
    MXDRV_PCM8Enable(&context, pcm8 ? 1 : 0);
    std::uint32_t mdxSize = 0;
    std::uint32_t pdxSize = 0;
    auto pdxBytes = static_cast<std::uint32_t>(pdx.size());
    MdxGetRequiredBufferSize(mdx.data(), static_cast<std::uint32_t>(mdx.size()), pdxBytes, &mdxSize,
                             &pdxSize);
    std::vector<std::uint8_t> mdxBuffer(mdxSize);
    std::vector<std::uint8_t> pdxBuffer(pdxSize);
    MdxUtilCreateMdxPdxBuffer(mdx.data(), static_cast<std::uint32_t>(mdx.size()),
                              pdx.empty() ? nullptr : pdx.data(), pdxBytes, mdxBuffer.data(),
                              mdxSize, pdx.empty() ? nullptr : pdxBuffer.data(), pdxSize);
    MXDRV_Play(&context, mdxBuffer.data(), mdxSize, pdx.empty() ? nullptr : pdxBuffer.data(),
               pdxSize);
    const int frames = sampleRate * windowMilliseconds / 1000;
    std::vector<short> buffer(2 * static_cast<std::size_t>(frames));
    std::vector<double> levels;
    for (int w = 0; w < windows; ++w) {
        MXDRV_GetPCM(&context, buffer.data(), frames);
        double sum = 0;
        for (short sample : buffer)
            sum += static_cast<double>(sample) * sample;
        levels.push_back(std::sqrt(sum / static_cast<double>(buffer.size())));
    }
    MXDRV_End(&context);
    MxdrvContext_Terminate(&context);
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
