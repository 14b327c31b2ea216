// Instructions per second of Z80Cpu on the first two groups of the
// instruction exerciser, and of the z80ex emulator on the same instruction
// stream, with their ratio. Both run the program on a flat 64 KiB RAM behind
// one call per byte accessed; the instruction count is taken from z80ex, which
// steps one instruction at a time.
#include "CpmMachine.h"

#include <benchmark/benchmark.h>
#include <z80ex/z80ex.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace {

using Image = std::array<std::uint8_t, 0x10000>;

// The exerciser with its group list cut after the first two groups. The list
// address is the operand of the LD HL,nn that follows the banner's BDOS call.
std::optional<Image> twoGroupImage() {
    CpmMachine loader;
    if (!loader.load(zexdocPath())) return std::nullopt;
    Image image = loader.memory;
    for (std::size_t a = CpmMachine::loadAddress; a + 8 < image.size(); ++a) {
        if (image[a] == 0x0E && image[a + 1] == 0x09 && image[a + 2] == 0xCD &&
            image[a + 5] == 0x21) {
            const std::size_t list = image[a + 6] | image[a + 7] << 8;
            image[list + 4] = 0;
            image[list + 5] = 0;
            return image;
        }
    }
    return std::nullopt;
}

// Runs the image on Z80Cpu; returns what it printed.
std::string runOwn(const Image& image) {
    auto machine = std::make_unique<CpmMachine>();
    machine->memory = image;
    machine->run();
    return machine->console;
}

// The same machine on z80ex: RAM through the memory callbacks, the BDOS stub's
// OUT (0),A through the port callback.
// The run ends at the opcode fetch from 0x0000 (the warm boot), so the step
// loop needs no register read.
struct Z80exMachine {
    Image memory;
    std::string console;
    bool finished = false;
};

Z80EX_BYTE readMemory(Z80EX_CONTEXT*, Z80EX_WORD address, int m1, void* user) {
    auto* m = static_cast<Z80exMachine*>(user);
    if (address == 0 && m1 != 0) m->finished = true;
    return m->memory[address];
}
void writeMemory(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user) {
    static_cast<Z80exMachine*>(user)->memory[address] = value;
}
Z80EX_BYTE readPort(Z80EX_CONTEXT*, Z80EX_WORD, void*) {
    return 0xFF;
}
void writePort(Z80EX_CONTEXT* cpu, Z80EX_WORD port, Z80EX_BYTE, void* user) {
    auto* m = static_cast<Z80exMachine*>(user);
    if ((port & 0xFF) != 0) return;
    const unsigned function = z80ex_get_reg(cpu, regBC) & 0xFF;
    const std::uint16_t de = z80ex_get_reg(cpu, regDE);
    if (function == 2) m->console += static_cast<char>(de & 0xFF);
    if (function == 9) {
        for (std::uint16_t a = de; m->memory[a] != '$'; ++a)
            m->console += static_cast<char>(m->memory[a]);
    }
}
Z80EX_BYTE readInterruptVector(Z80EX_CONTEXT*, void*) {
    return 0xFF;
}

struct Z80exRun {
    std::string console;
    std::uint64_t instructions = 0;
};

// Runs the image on z80ex; counts the instructions (steps that are not a
// prefix) only when asked, so that timed runs carry no extra calls.
Z80exRun runZ80ex(const Image& image, bool count = false) {
    auto m = std::make_unique<Z80exMachine>();
    m->memory = image;
    Z80EX_CONTEXT* cpu = z80ex_create(readMemory, m.get(), writeMemory, m.get(), readPort, m.get(),
                                      writePort, m.get(), readInterruptVector, m.get());
    z80ex_set_reg(cpu, regSP, CpmMachine::bdosStub);
    z80ex_set_reg(cpu, regPC, CpmMachine::loadAddress);
    std::uint64_t instructions = 0;
    if (count) {
        while (!m->finished) {
            z80ex_step(cpu);
            if (z80ex_last_op_type(cpu) == 0) ++instructions;
        }
    } else {
        while (!m->finished)
            z80ex_step(cpu);
    }
    z80ex_destroy(cpu);
    return {m->console, instructions};
}

struct Reference {
    Image image;
    Z80exRun z80ex;
};

// Built once: the image and the instruction count of the stream.
const Reference* reference() {
    static const std::optional<Reference> value = []() -> std::optional<Reference> {
        auto image = twoGroupImage();
        if (!image) return std::nullopt;
        return Reference{*image, runZ80ex(*image, true)};
    }();
    return value ? &*value : nullptr;
}

// Processor time of the process: on a machine shared with other work the
// ratio then compares the work of the two emulators, not their share of the
// cores.
double cpuSecondsNow() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void setRate(benchmark::State& state, const Reference& ref) {
    state.counters["instructions"] = static_cast<double>(ref.z80ex.instructions);
    state.counters["instructions/s"] = benchmark::Counter(
        static_cast<double>(ref.z80ex.instructions), benchmark::Counter::kIsIterationInvariantRate);
}

void z80Cpu(benchmark::State& state) {
    const Reference* ref = reference();
    if (ref == nullptr) return state.SkipWithError("needs ../shared/testdata/zexdoc.com");
    for (auto _ : state) {
        if (runOwn(ref->image) != ref->z80ex.console)
            return state.SkipWithError("output differs from z80ex");
    }
    setRate(state, *ref);
}

void z80ex(benchmark::State& state) {
    const Reference* ref = reference();
    if (ref == nullptr) return state.SkipWithError("needs ../shared/testdata/zexdoc.com");
    for (auto _ : state)
        benchmark::DoNotOptimize(runZ80ex(ref->image).console.size());
    setRate(state, *ref);
}

// Both emulators in every iteration; the counter "ratio" is how many times
// faster Z80Cpu runs the stream than z80ex, in processor time.
void speedRatio(benchmark::State& state) {
    const Reference* ref = reference();
    if (ref == nullptr) return state.SkipWithError("needs ../shared/testdata/zexdoc.com");
    double own = 0;
    double other = 0;
    for (auto _ : state) {
        const double start = cpuSecondsNow();
        benchmark::DoNotOptimize(runOwn(ref->image).size());
        const double middle = cpuSecondsNow();
        benchmark::DoNotOptimize(runZ80ex(ref->image).console.size());
        own += middle - start;
        other += cpuSecondsNow() - middle;
    }
    const auto n = static_cast<double>(ref->z80ex.instructions * state.iterations());
    state.counters["z80cpu_MIPS"] = n / own / 1e6;
    state.counters["z80ex_MIPS"] = n / other / 1e6;
    state.counters["ratio"] = other / own;
}

} // namespace

BENCHMARK(z80Cpu)->Unit(benchmark::kMillisecond);
BENCHMARK(z80ex)->Unit(benchmark::kMillisecond);
BENCHMARK(speedRatio)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
