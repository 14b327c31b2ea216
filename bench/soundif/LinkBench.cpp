// Register writes from setRegister to the device, on the recording device
// module counting bytes only: the rate sustained with DelayTime 0 and
// BufferSize 0 (writer on this thread, the worker on its own), the latency
// from queueing to the device write that carried each write (the writes are
// due at once, so this is the lateness against the due time), and the heap
// taken by an open KX7M interface with a full 512-entry queue.
#include "common/Platform.h"
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "tests/soundif/link/RecordingD2xx.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<std::int64_t> heapBytes{0};

BoardSettings board(std::int32_t chipId, std::uint32_t bufferSize) {
    BoardSettings settings;
    settings.port = 3;
    settings.slotChipId = chipId;
    settings.slotChipClock = 4000000;
    settings.bufferSize = bufferSize;
    return settings;
}

std::int64_t nanosecondsNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Argument: writes per second the writer keeps to (0: as fast as it can).
void setRegisterToDevice(benchmark::State& state) {
    constexpr std::uint32_t writes = 2'000'000;
    const auto pace = static_cast<std::int64_t>(state.range(0));
    std::vector<std::int64_t> queuedAt(writes);
    for (auto _ : state) {
        recording::clear();
        CSoundInterfaceFtd2xx bare(board(1, 0), recording::functions());
        bare.setSendDelay(0);
        SoundChip* chip = bare.chipAt(0);
        const std::int64_t start = nanosecondsNow();
        for (std::uint32_t i = 0; i < writes; ++i) {
            queuedAt[i] = nanosecondsNow();
            if (pace != 0 && i % 64 == 0) {
                const std::int64_t planned = start + std::int64_t{i} * 1'000'000'000 / pace;
                while (queuedAt[i] < planned)
                    queuedAt[i] = nanosecondsNow();
            }
            chip->setRegister(i & 0xFF, i >> 8);
        }
        const std::int64_t queued = nanosecondsNow();
        while (recording::byteCount() < std::uint64_t{writes} * wire::registerWriteBytes)
            std::this_thread::yield();
        const std::int64_t delivered = nanosecondsNow();

        std::vector<std::uint64_t> bytesAfter;
        std::vector<std::int64_t> writtenAt;
        recording::writeTimes(bytesAfter, writtenAt);
        std::vector<std::int64_t> latency(writes);
        std::size_t call = 0;
        for (std::uint32_t i = 0; i < writes; ++i) {
            while (bytesAfter[call] < std::uint64_t{i + 1} * wire::registerWriteBytes)
                ++call;
            latency[i] = writtenAt[call] - queuedAt[i];
        }
        std::sort(latency.begin(), latency.end());
        state.counters["writes_per_s"] = writes / ((delivered - start) * 1e-9);
        state.counters["queue_per_s"] = writes / ((queued - start) * 1e-9);
        state.counters["p50_ms"] = static_cast<double>(latency[writes / 2]) * 1e-6;
        state.counters["p99_ms"] = static_cast<double>(latency[writes / 100 * 99]) * 1e-6;
        state.counters["max_ms"] = static_cast<double>(latency.back()) * 1e-6;
        state.counters["device_writes"] = static_cast<double>(writtenAt.size());
    }
}
BENCHMARK(setRegisterToDevice)
    ->Arg(0)
    ->Arg(1'000'000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void openInterfaceWithFullQueue(benchmark::State& state) {
    for (auto _ : state) {
        const std::int64_t before = heapBytes.load();
        auto kx7m = std::make_unique<CSoundInterfaceFtd2xx>(board(38, 512), recording::functions());
        kx7m->setSendDelay(1'000'000);
        for (std::uint32_t i = 0; i < 512; ++i)
            kx7m->writeRegister(i % 3, i & 0xFF, i >> 8);
        state.counters["heap_bytes"] = static_cast<double>(heapBytes.load() - before);
        state.counters["object_bytes"] = sizeof(CSoundInterfaceFtd2xx);
        state.counters["queued"] = static_cast<double>(kx7m->pendingWrites());
    }
}
BENCHMARK(openInterfaceWithFullQueue)->Iterations(1);

} // namespace

// Heap accounting for the memory figure: every allocation adds its size,
// every sized release subtracts it.
void* operator new(std::size_t size) {
    heapBytes += static_cast<std::int64_t>(size);
    if (void* p = std::malloc(size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t size) noexcept {
    heapBytes -= static_cast<std::int64_t>(size);
    std::free(p);
}

int main(int argc, char** argv) {
    recording::start("3");
    platform::setEnvironment("TAVRO_TEST_D2XX_COUNT_ONLY", "1");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
