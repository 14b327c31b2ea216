// player_timing: plays a driver on the player's machine and tick loop for a
// while and reports how well the ticks keep time: ticks run against
// milliseconds elapsed, the lateness of each tick after its millisecond began,
// the process's CPU time and its peak memory.
//
//   player_timing [--aligned] [seconds] [VELKAN.BIN [music file]]
//   player_timing --write-busy-driver PATH
//
// Without a driver it plays the busy stand-in of BusyDriver.h. With
// --aligned, an idle pass sleeps until the next millisecond begins instead of
// for 1 ms, to compare the two. The measurement wraps the tick in this
// program; the player itself carries no hooks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BusyDriver.h"
#include "client/SystemTime.h"
#include "common/Platform.h"
#include "player/TickLoop.h"
#include "player/Tonrig.h"

namespace {

std::string peakMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    }
    return " unknown";
}

bool writeFile(const char* path, const std::vector<unsigned char>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

double percentile(std::vector<std::uint64_t>& sorted, double fraction) {
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return static_cast<double>(sorted[index]) / 1e6;
}

// Counter value at which millisecond m of the clock begins; rebasing moves
// the base count and the base milliseconds together, so this stays fixed.
std::uint64_t millisecondStart(const MillisecondClock& clock, std::uint32_t m) {
    return clock.baseCount + static_cast<std::uint64_t>(m - clock.baseMilliseconds) *
                                 static_cast<std::uint64_t>(clock.frequency) / 1000;
}

// The play loop's time source, optionally sleeping only up to the next
// millisecond.
struct MeasuredTime {
    std::uint32_t now() { return system.now(); }
    void sleepOneMillisecond() {
        if (!aligned) return system.sleepOneMillisecond();
        const std::uint64_t next = millisecondStart(system.clock, system.now() + 1);
        const std::uint64_t current = platform::counterValue();
        if (next > current) {
            std::this_thread::sleep_for(
                std::chrono::nanoseconds((next - current) * 1000000000 /
                                         static_cast<std::uint64_t>(system.clock.frequency)));
        }
    }

    SystemTime system;
    bool aligned = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-busy-driver") {
        return writeFile(argv[2], busyDriverImage()) ? 0 : 1;
    }
    MeasuredTime time;
    if (argc > 1 && std::string(argv[1]) == "--aligned") {
        time.aligned = true;
        --argc;
        ++argv;
    }
    const int seconds = argc > 1 ? std::max(1, std::stoi(argv[1])) : 60;
    auto machine = std::make_unique<Tonrig>();
    if (argc > 2) {
        if (argc > 3 && !machine->loadImage(Tonrig::dataAddress, argv[3])) return 1;
        if (!machine->loadImage(Tonrig::driverAddress, argv[2])) return 1;
    } else {
        const auto image = busyDriverImage();
        std::copy(image.begin(), image.end(), machine->memory.begin() + Tonrig::driverAddress);
    }

    std::atomic<bool> stop{false};
    time.system.start();
    machine->callSubroutine(Tonrig::driverAddress);
    machine->callSubroutine(argc > 3 ? Tonrig::driverEntryWithData
                                     : Tonrig::driverEntryWithoutData);

    std::vector<std::uint64_t> lateness;
    lateness.reserve(static_cast<std::size_t>(seconds) * 1000 + 100);
    std::uint32_t tickMillisecond = time.now();
    const std::uint32_t firstMillisecond = tickMillisecond;
    const double cpuStart = platform::processCpuMilliseconds();
    const auto wallStart = std::chrono::steady_clock::now();

    runTickLoop(time, stop, [&] {
        ++tickMillisecond;
        const std::uint64_t due = millisecondStart(time.system.clock, tickMillisecond);
        const std::uint64_t now = platform::counterValue();
        lateness.push_back(now > due ? now - due : 0);
        machine->tick();
        if (tickMillisecond - firstMillisecond >= static_cast<std::uint32_t>(seconds) * 1000) {
            stop.store(true);
        }
    });

    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
    const double cpuMs = platform::processCpuMilliseconds() - cpuStart;
    std::vector<std::uint64_t> sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    std::printf("ticks run %zu, milliseconds elapsed %.1f, drift %.1f ms\n", lateness.size(),
                wallMs, static_cast<double>(lateness.size()) - wallMs);
    std::printf("tick lateness ms: median %.3f, p99 %.3f, p99.9 %.3f, max %.3f\n",
                percentile(sorted, 0.5), percentile(sorted, 0.99), percentile(sorted, 0.999),
                static_cast<double>(sorted.back()) / 1e6);
    std::printf("cpu time %.0f ms = %.2f%% of one core\n", cpuMs, 100.0 * cpuMs / wallMs);
    std::printf("peak memory%s\n", peakMemory().c_str());
    return 0;
}
