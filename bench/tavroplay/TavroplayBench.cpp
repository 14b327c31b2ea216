// tavroplay_bench: files and figures for measuring tavroplay on the virtual
// board (see measure-tavroplay.sh, which runs it):
//
//   tavroplay_bench timing FILE SECONDS         a YM2151 file with one write
//                                               every 5 to 25 ms, each value
//                                               new, and a second's silence
//   tavroplay_bench dense FILE SECONDS RATE     a busy YM2151 file: RATE writes
//                                               a second, 8 channels playing
//   tavroplay_bench analyse FILE LOG           timing of the log's writes
//                                               against the file's own times
//   tavroplay_bench bursts FILE SECONDS SIZE    a YM2151 song with a burst of
//                                               SIZE writes at one instant
//                                               (voice set-up, then its key-on)
//                                               every half second, single
//                                               writes 50 ms apart in between
//   tavroplay_bench keyons FILE LOG            lateness of the key-on writes
//
// keyons matches the file's writes with the board log's in order and takes
// the on-time offset (the send delay and start-up) as the median offset of
// the writes that are alone in the file (none other within 5 ms); a write's
// lateness is its offset less that. It prints the p50, p99 and largest
// lateness of every key-on, and of the key-ons that end a burst.
//
// analyse matches the file's writes with the board log's in order and prints
// the error of each write's wire time against its file time, taken from the
// median offset (the send delay and start-up): mean and 99th percentile of
// its size, the largest, and the drift: the median error of the last ten
// seconds less that of the first ten.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "vgm/VgmFile.h"

namespace {

struct Writer {
    std::vector<std::uint8_t> data;
    void write(std::uint8_t address, std::uint8_t value) {
        data.insert(data.end(), {0x54, address, value});
    }
    void wait(std::uint32_t samples) {
        while (samples > 0) {
            const std::uint32_t step = std::min<std::uint32_t>(samples, 0xFFFF);
            data.insert(data.end(), {0x61, static_cast<std::uint8_t>(step),
                                     static_cast<std::uint8_t>(step >> 8)});
            samples -= step;
        }
    }
    void save(const char* path, std::uint32_t totalSamples) const {
        std::vector<std::uint8_t> file(0x100, 0);
        const auto put = [&file](std::size_t at, std::uint32_t value) {
            for (int i = 0; i < 4; ++i)
                file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        file.insert(file.end(), data.begin(), data.end());
        file.push_back(0x66);
        put(0x00, 0x206D6756);
        put(0x04, static_cast<std::uint32_t>(file.size() - 4));
        put(0x08, 0x171);
        put(0x18, totalSamples);
        put(0x30, 4000000);
        put(0x34, 0x100 - 0x34);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
};

constexpr std::uint32_t tailSamples = 44100;

int writeTiming(const char* path, double seconds) {
    std::mt19937 random(1);
    Writer writer;
    std::uint32_t samples = 0;
    std::uint8_t value = 0;
    const auto total = static_cast<std::uint32_t>(seconds * 44100);
    while (samples < total) {
        // Key code of channel 0, a new value every time: the chip's
        // change-only filter lets every write through.
        writer.write(0x28, value++);
        const std::uint32_t wait = 220 + random() % 882;
        writer.wait(wait);
        samples += wait;
    }
    // A second of silence at the end: the chips are silenced when the song
    // ends, a burst that would otherwise take the last writes along early.
    writer.wait(tailSamples);
    writer.save(path, samples + tailSamples);
    return 0;
}

int writeDense(const char* path, double seconds, double rate) {
    Writer writer;
    const auto total = static_cast<std::uint32_t>(seconds * 44100);
    for (int ch = 0; ch < 8; ++ch) {
        writer.write(static_cast<std::uint8_t>(0x20 + ch), 0xC7);
        for (int op = 0; op < 4; ++op) {
            writer.write(static_cast<std::uint8_t>(0x80 + 8 * op + ch), 0x1F);
            writer.write(static_cast<std::uint8_t>(0xE0 + 8 * op + ch), 0x0F);
        }
    }
    const double step = 44100 / rate;
    double due = 0;
    std::uint32_t samples = 0;
    for (std::uint32_t i = 0; samples < total; ++i) {
        const int ch = static_cast<int>(i % 8);
        switch (i / 8 % 4) {
        case 0:
            writer.write(static_cast<std::uint8_t>(0x28 + ch),
                         static_cast<std::uint8_t>(0x30 + (i / 32) % 0x4E));
            break;
        case 1: writer.write(0x08, static_cast<std::uint8_t>(0x78 | ch)); break;
        case 2:
            writer.write(static_cast<std::uint8_t>(0x30 + ch), static_cast<std::uint8_t>(i << 2));
            break;
        default: writer.write(0x08, static_cast<std::uint8_t>(ch)); break;
        }
        due += step;
        if (due >= samples + 1) {
            const auto wait = static_cast<std::uint32_t>(due) - samples;
            writer.wait(wait);
            samples += wait;
        }
    }
    writer.save(path, samples);
    return 0;
}

// Voice set-up bursts: every half second SIZE - 1 writes to the operator
// registers 0x40 to 0xFF (taken in turn, each value new), then a key-on, all
// at one instant; between bursts a key-off, key codes and key-ons one at a
// time, 50 ms apart. About 2 * SIZE + 20 writes a second.
int writeBursts(const char* path, double seconds, int size) {
    constexpr std::uint32_t burstSpacing = 22050;
    constexpr std::uint32_t singleSpacing = 2205;
    constexpr int operatorFirst = 0x40, operatorCount = 0xC0;
    Writer writer;
    const auto total = static_cast<std::uint32_t>(seconds * 44100);
    int next = 0;
    std::uint8_t value = 0;
    std::uint32_t samples = 0;
    for (int burst = 0; samples + burstSpacing <= total; ++burst) {
        const auto channel = static_cast<std::uint8_t>(burst % 8);
        writer.write(0x08, channel);
        for (int i = 0; i + 1 < size; ++i) {
            writer.write(static_cast<std::uint8_t>(operatorFirst + next), value);
            next = (next + 1) % operatorCount;
            value = static_cast<std::uint8_t>(value + 37);
        }
        writer.write(0x08, static_cast<std::uint8_t>(0x78 | channel));
        for (std::uint32_t at = singleSpacing; at < burstSpacing; at += singleSpacing) {
            writer.wait(singleSpacing);
            const auto other = static_cast<std::uint8_t>((channel + 1 + at / singleSpacing) % 8);
            switch (at / singleSpacing % 3) {
            case 0: writer.write(0x08, other); break;
            case 1: writer.write(static_cast<std::uint8_t>(0x28 + other), value++); break;
            default: writer.write(0x08, static_cast<std::uint8_t>(0x78 | other)); break;
            }
        }
        writer.wait(singleSpacing);
        samples += burstSpacing;
    }
    writer.save(path, samples);
    return 0;
}

double percentile(std::vector<double> values, double part) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(part * (values.size() - 1))];
}

struct TimedWrite {
    double ms;
    int address;
    int data;
};

// The file's register writes with their times; nothing (and a message) when
// it cannot be read.
std::optional<std::vector<TimedWrite>> readFileWrites(const char* vgmPath) {
    std::string error;
    const auto file = vgm::VgmFile::load(vgmPath, error);
    if (!file) {
        std::fprintf(stderr, "%s: %s\n", vgmPath, error.c_str());
        return std::nullopt;
    }
    std::vector<TimedWrite> writes;
    std::uint64_t samples = 0;
    vgm::CommandReader reader = file->commands();
    for (vgm::VgmEvent event = reader.next(); event.kind != vgm::VgmEvent::end;
         event = reader.next()) {
        if (event.kind == vgm::VgmEvent::wait) samples += event.samples;
        if (event.kind == vgm::VgmEvent::write)
            writes.push_back({samples * 1000.0 / 44100, event.address, event.data});
    }
    return writes;
}

int analyse(const char* vgmPath, const char* logPath) {
    const auto writes = readFileWrites(vgmPath);
    if (!writes) return 1;
    std::vector<double> fileMs;
    for (const TimedWrite& write : *writes)
        if (write.address == 0x28) fileMs.push_back(write.ms);
    std::vector<double> wireMs;
    std::ifstream log(logPath);
    for (std::string line; std::getline(log, line);) {
        std::istringstream in(line);
        double ms = 0;
        std::string name, port, pos, chip, addr;
        in >> ms >> name >> port >> pos >> chip >> addr;
        if (name == "write" && pos == "pos=1" && addr == "addr=0x28") wireMs.push_back(ms);
    }
    if (wireMs.size() < fileMs.size()) {
        std::fprintf(stderr, "the log has %zu of the file's %zu writes\n", wireMs.size(),
                     fileMs.size());
        return 1;
    }
    std::vector<double> offsets;
    for (std::size_t i = 0; i < fileMs.size(); ++i)
        offsets.push_back(wireMs[i] - fileMs[i]);
    const double median = percentile(offsets, 0.5);
    std::vector<double> errors;
    double sum = 0;
    for (double offset : offsets) {
        errors.push_back(std::abs(offset - median));
        sum += errors.back();
    }
    const auto window = [&](bool last) {
        std::vector<double> part;
        const double end = fileMs.back();
        for (std::size_t i = 0; i < fileMs.size(); ++i)
            if (last ? fileMs[i] >= end - 10000 : fileMs[i] < 10000) part.push_back(offsets[i]);
        return part.empty() ? 0.0 : percentile(part, 0.5);
    };
    std::printf("writes %zu over %.1f s, offset (send delay and start) %.3f ms\n", fileMs.size(),
                fileMs.back() / 1000, median);
    std::printf("error: mean %.3f ms, p99 %.3f ms, max %.3f ms\n", sum / errors.size(),
                percentile(errors, 0.99), percentile(errors, 1.0));
    std::printf("drift (median error, last 10 s less first 10 s): %.3f ms\n",
                window(true) - window(false));
    return 0;
}

int keyOns(const char* vgmPath, const char* logPath) {
    const auto read = readFileWrites(vgmPath);
    if (!read) return 1;
    const std::vector<TimedWrite>& fileWrites = *read;
    std::vector<TimedWrite> wire;
    std::ifstream log(logPath);
    for (std::string line; std::getline(log, line);) {
        std::istringstream in(line);
        double ms = 0;
        std::string name, port, pos, chip, addr, data;
        in >> ms >> name >> port >> pos >> chip >> addr >> data;
        if (name != "write" || pos != "pos=1") continue;
        wire.push_back({ms, static_cast<int>(std::stoul(addr.substr(5), nullptr, 16)),
                        static_cast<int>(std::stoul(data.substr(5), nullptr, 16))});
    }
    // The library's start-up writes (key-offs, release rates) come first.
    std::size_t first = 0;
    while (first + fileWrites.size() <= wire.size() &&
           (wire[first].address != fileWrites[0].address || wire[first].data != fileWrites[0].data))
        ++first;
    if (first + fileWrites.size() > wire.size()) {
        std::fprintf(stderr, "the log lacks the file's writes\n");
        return 1;
    }
    constexpr double aloneMs = 5;
    std::vector<double> aloneOffsets;
    for (std::size_t i = 0; i < fileWrites.size(); ++i) {
        const TimedWrite& w = wire[first + i];
        if (w.address != fileWrites[i].address || w.data != fileWrites[i].data) {
            std::fprintf(stderr, "write %zu differs between the file and the log\n", i);
            return 1;
        }
        const bool alone =
            (i == 0 || fileWrites[i].ms - fileWrites[i - 1].ms > aloneMs) &&
            (i + 1 == fileWrites.size() || fileWrites[i + 1].ms - fileWrites[i].ms > aloneMs);
        if (alone) aloneOffsets.push_back(w.ms - fileWrites[i].ms);
    }
    if (aloneOffsets.empty()) {
        std::fprintf(stderr, "the file has no write on its own\n");
        return 1;
    }
    const double onTime = percentile(aloneOffsets, 0.5);
    std::vector<double> all, afterBurst;
    for (std::size_t i = 0; i < fileWrites.size(); ++i) {
        if (fileWrites[i].address != 0x08 || (fileWrites[i].data & 0x78) == 0) continue;
        const double lateness = wire[first + i].ms - fileWrites[i].ms - onTime;
        all.push_back(lateness);
        if (i > 0 && fileWrites[i].ms - fileWrites[i - 1].ms < aloneMs)
            afterBurst.push_back(lateness);
    }
    std::printf("on-time offset (send delay and start) %.3f ms\n", onTime);
    const auto show = [](const char* what, const std::vector<double>& values) {
        if (values.empty()) return;
        std::printf("%s (%zu): lateness p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", what,
                    values.size(), percentile(values, 0.5), percentile(values, 0.99),
                    percentile(values, 1.0));
    };
    show("key-ons", all);
    show("key-ons ending a burst", afterBurst);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "timing" && argc == 4) return writeTiming(argv[2], std::atof(argv[3]));
    if (command == "dense" && argc == 5)
        return writeDense(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (command == "analyse" && argc == 4) return analyse(argv[2], argv[3]);
    if (command == "bursts" && argc == 5)
        return writeBursts(argv[2], std::atof(argv[3]), std::atoi(argv[4]));
    if (command == "keyons" && argc == 4) return keyOns(argv[2], argv[3]);
    std::fprintf(stderr, "usage: tavroplay_bench timing FILE SECONDS | dense FILE SECONDS RATE | "
                         "analyse FILE LOG | bursts FILE SECONDS SIZE | keyons FILE LOG\n");
    return 2;
}
