// sample_sync_bench: the song and the figures for measuring how far an MDX
// song's samples, played through the speakers, lie from its FM notes on the
// board (see measure-sample-sync.sh, which runs it):
//
//   sample_sync_bench song DIR         writes DIR/sync.mdx and DIR/sync.pdx: a
//                                      looping song whose FM note and sample
//                                      start together on every beat (0.5 s)
//   sample_sync_bench busy DIR         writes DIR/busy.mdx (and DIR/sync.pdx):
//                                      a looping 16-track song, the eight FM
//                                      tracks and the eight ADPCM tracks
//                                      playing notes and samples all along,
//                                      for CPU and memory
//   sample_sync_bench analyse BOARDLOG SAMPLELOG [SECONDS]
//                                      pairs each sample start of tavroplay's
//                                      TAVROPLAY_SAMPLE_LOG with the FM
//                                      key-on nearest to it in the virtual
//                                      board's log (its wire time on the
//                                      host's clock, by the log's clock line)
//                                      and prints the offset (heard less
//                                      wire) over the first and the last
//                                      SECONDS (default 10) of the run
//
// The offset's parts: "due" is when tavroplay meant the sample to be heard
// (its write time plus the send delay and one write's wire time); "heard" is
// when its first frame was heard as the sound server reported it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../../tests/mdx/MdxBuilder.h"

namespace {

constexpr int timerB = 200;                 // a tick of 14.336 ms on a 4 MHz chip
constexpr int beatTicks = 35;               // about half a second
constexpr std::uint32_t pdxTable = 96 * 8;  // the bank's sample table
constexpr std::uint32_t sampleBytes = 4000; // half a second at 15.6 kHz
constexpr std::uint8_t loudAdpcm = 0x77;    // a steady climb: sound from the first byte
constexpr int keyOnRegister = 0x08;
constexpr int keyOnSlots = 0x78;
constexpr double outsideMs = 5;

int writeSong(const std::string& directory) {
    mdxtest::Song song;
    song.pdxName = "SYNC";
    song.voices.push_back(mdxtest::testVoice(1));
    song.tracks[0].tempo(timerB).voice(1).volume(15);
    const std::size_t fmLoop = song.tracks[0].mark();
    song.tracks[0].note(40, beatTicks / 2).rest(beatTicks - beatTicks / 2).loopTo(fmLoop);
    const std::size_t pcmLoop = song.tracks[8].mark();
    song.tracks[8].note(0, beatTicks / 2).rest(beatTicks - beatTicks / 2).loopTo(pcmLoop);
    const mdxtest::Bytes mdx = song.build();
    std::vector<std::uint8_t> bank(pdxTable + sampleBytes, loudAdpcm);
    std::fill_n(bank.begin(), pdxTable, std::uint8_t{0});
    for (int i = 0; i < 4; ++i) {
        bank[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(pdxTable >> (24 - 8 * i));
        bank[static_cast<std::size_t>(4 + i)] =
            static_cast<std::uint8_t>(sampleBytes >> (24 - 8 * i));
    }
    std::ofstream(directory + "/sync.mdx", std::ios::binary)
        .write(reinterpret_cast<const char*>(mdx.data()), static_cast<std::streamsize>(mdx.size()));
    std::ofstream(directory + "/sync.pdx", std::ios::binary)
        .write(reinterpret_cast<const char*>(bank.data()),
               static_cast<std::streamsize>(bank.size()));
    return 0;
}

// Eight FM tracks in a chord moving each beat, eight ADPCM tracks starting
// their sample one after the other, a sixteenth of a beat apart.
int writeBusySong(const std::string& directory) {
    if (writeSong(directory) != 0) return 1;
    constexpr std::size_t longTracks = 16;
    constexpr std::size_t fmTracks = 8;
    constexpr int beats = 8;
    mdxtest::Song song;
    song.pdxName = "SYNC";
    song.tracks.resize(longTracks);
    song.voices.push_back(mdxtest::testVoice(1));
    for (std::size_t track = 0; track < longTracks; ++track) {
        mdxtest::Track& program = song.tracks[track];
        if (track == 0) program.tempo(timerB);
        if (track < fmTracks) program.voice(1).volume(12);
        const std::size_t loop = program.mark();
        const int step = beatTicks / 16;
        const auto index = static_cast<int>(track);
        for (int beat = 0; beat < beats; ++beat) {
            if (track < fmTracks) {
                program.note(20 + 4 * index + beat, beatTicks - 1).rest(1);
            } else {
                const int lead = step * (index - static_cast<int>(fmTracks));
                if (lead > 0) program.rest(lead);
                program.note(0, beatTicks / 2).rest(beatTicks - beatTicks / 2 - lead);
            }
        }
        program.loopTo(loop);
    }
    const mdxtest::Bytes mdx = song.build();
    std::ofstream(directory + "/busy.mdx", std::ios::binary)
        .write(reinterpret_cast<const char*>(mdx.data()), static_cast<std::streamsize>(mdx.size()));
    return 0;
}

std::string field(const std::string& line, const std::string& name) {
    const std::size_t at = line.find(" " + name + "=");
    if (at == std::string::npos) return "";
    const std::size_t start = at + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

struct Pair {
    double dueMs;   // when tavroplay meant it heard
    double heardMs; // when it was heard
    double wireMs;  // the FM key-on's wire time
};

void summary(const char* name, const std::vector<Pair>& pairs) {
    if (pairs.empty()) {
        std::printf("  %-6s no sample starts\n", name);
        return;
    }
    std::vector<double> offsets;
    double worst = 0, dueSum = 0;
    for (const Pair& pair : pairs) {
        offsets.push_back(pair.heardMs - pair.wireMs);
        worst = std::max(worst, std::abs(pair.heardMs - pair.wireMs));
        dueSum += pair.dueMs - pair.wireMs;
    }
    std::sort(offsets.begin(), offsets.end());
    std::printf("  %-6s %zu starts: heard less FM wire time median %+.2f ms, largest %.2f ms; "
                "planned less wire %+.2f ms\n",
                name, pairs.size(), offsets[offsets.size() / 2], worst,
                dueSum / static_cast<double>(pairs.size()));
}

int analyse(const std::string& boardLog, const std::string& sampleLog, double seconds) {
    std::ifstream board(boardLog);
    double clockMs = -1;
    std::vector<double> keyOns;
    for (std::string line; std::getline(board, line);) {
        std::istringstream words(line);
        double ms = 0;
        std::string event;
        words >> ms >> event;
        if (event == "clock") clockMs = std::atof(field(line, "steady-ms").c_str());
        if (event == "write" && field(line, "chip") == "YM2151" &&
            std::strtol(field(line, "addr").c_str(), nullptr, 0) == keyOnRegister &&
            (std::strtol(field(line, "data").c_str(), nullptr, 0) & keyOnSlots) != 0)
            keyOns.push_back(ms);
    }
    if (clockMs < 0 || keyOns.empty()) {
        std::fprintf(stderr, "%s: no clock line or no key-on\n", boardLog.c_str());
        return 1;
    }
    for (double& ms : keyOns)
        ms += clockMs;
    std::ifstream samples(sampleLog);
    std::vector<Pair> pairs;
    std::string end;
    for (std::string line; std::getline(samples, line);) {
        if (line.rfind("end ", 0) == 0) end = line;
        if (line.rfind("start ", 0) != 0) continue;
        const double heard = std::atof(field(line, "heard-ms").c_str());
        const auto nearest =
            std::min_element(keyOns.begin(), keyOns.end(), [&](double a, double b) {
                return std::abs(a - heard) < std::abs(b - heard);
            });
        pairs.push_back({std::atof(field(line, "due-ms").c_str()), heard, *nearest});
    }
    if (pairs.empty()) {
        std::fprintf(stderr, "%s: no sample start\n", sampleLog.c_str());
        return 1;
    }
    // The first note is the song's first tick, whose key-on the library
    // sends inside the opening burst (every channel's set-up): apart.
    const Pair opening = pairs.front();
    pairs.erase(pairs.begin());
    const double first = pairs.front().wireMs, last = pairs.back().wireMs;
    std::vector<Pair> early, late;
    std::size_t beyond = 0;
    for (const Pair& pair : pairs) {
        if (pair.wireMs <= first + seconds * 1000) early.push_back(pair);
        if (pair.wireMs >= last - seconds * 1000) late.push_back(pair);
        if (std::abs(pair.heardMs - pair.wireMs) > outsideMs) ++beyond;
    }
    std::printf("Samples against the FM on the board, %.0f s run:\n", (last - first) / 1000);
    std::printf("  first note (in the opening burst): heard less FM wire time %+.2f ms, planned "
                "less wire %+.2f ms\n",
                opening.heardMs - opening.wireMs, opening.dueMs - opening.wireMs);
    summary("start", early);
    summary("end", late);
    std::printf("  all    %zu starts after the first, %zu of them more than %.0f ms off\n",
                pairs.size(), beyond, outsideMs);
    std::printf("  %s\n", end.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "song" && argc == 3) return writeSong(argv[2]);
    if (command == "busy" && argc == 3) return writeBusySong(argv[2]);
    if (command == "analyse" && (argc == 4 || argc == 5))
        return analyse(argv[2], argv[3], argc == 5 ? std::atof(argv[4]) : 10.0);
    std::fprintf(stderr,
                 "usage: sample_sync_bench song DIR | busy DIR | analyse BOARDLOG SAMPLELOG "
                 "[SECONDS]\n");
    return 1;
}
