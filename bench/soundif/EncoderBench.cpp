// The wire encoder alone: pin bytes produced per second for batches of
// register writes, with and without wait fillers.
#include "soundif/link/WireEncoder.h"

#include <benchmark/benchmark.h>

namespace {

void encodeRegisterWrites(benchmark::State& state) {
    const auto fillers = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint8_t> buffer;
    buffer.reserve(1024 * (wire::registerWriteBytes + 2 * fillers));
    std::uint8_t pinState = 255;
    std::uint32_t n = 0;
    for (auto _ : state) {
        buffer.clear();
        for (int i = 0; i < 1024; ++i, ++n) {
            if (!buffer.empty()) wire::appendFiller(buffer, fillers, pinState);
            wire::appendRegisterWrite(buffer, n % 3, n & 0x1FF, n >> 9, {}, pinState, fillers);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(encodeRegisterWrites)->Arg(0)->Arg(6);

void encodeFrames(benchmark::State& state) {
    std::uint8_t out[wire::frameBytes * 64];
    std::uint8_t pinState = 255;
    std::uint16_t word = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            pinState = wire::encodeFrame(out + i * wire::frameBytes, word++, {}, pinState);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof out));
}
BENCHMARK(encodeFrames);

} // namespace
