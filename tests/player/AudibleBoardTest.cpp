// tonrig playing the test song on the audible virtual board (KX7M), laid out
// as installed: the sound file the board writes carries the tones the song's
// writes program, each chip's note at its frequency and on its side; without
// a sound server the board says so in one line and goes on; a player killed
// outright still leaves a readable file. With a real sound server (a
// PulseAudio server of the test's own, with a null sink whose monitor is
// recorded) what the server played matches the board's file, without an
// underrun. The server tests skip when pulseaudio or parec is not installed.
// On Windows the board plays through the system's waveform-audio output: a
// device name that no device has stands for the missing server, and the
// server test hears what the system played where a sound server records it
// (tests/player/wine-with-sound-server runs the tests under Wine with one, its
// null sink's monitor recorded raw into the file TONRIG_SOUND_RECORDING
// names); it skips without one. The Windows build writes no FLAC.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "../synth/ToneAnalysis.h"
#include "support/PlayerLayout.h"
#ifndef _WIN32
#include "support/SoundServer.h"
#endif

namespace {

using namespace std::chrono_literals;
using namespace toneanalysis;

const std::filesystem::path tonrigProgram = TONRIG_PROGRAM;
const std::filesystem::path tavroLibrary = TAVRO_LIBRARY_PATH;
const std::filesystem::path virtualBoard = TAVRO_VB_MODULE_PATH;
const std::filesystem::path driverImages = DRIVER_IMAGES_DIR;

constexpr double rate = 48000;
// The test song's tones on a 4 MHz KX7M: YM2151 #1 key code 0x4A (A4) on the
// left, YM2151 #2 key code 0x54 (E5) on the right, the PSG's channel B with
// tone period 400 at its 2 MHz clock in the middle.
const double opm1Hz = 440.0 * 4000000 / 3579545;
const double opm2Hz = opm1Hz * std::pow(2.0, 7 / 12.0);
constexpr double psgHz = 2000000 / (16.0 * 400);

struct Sound {
    int format = 0;
    std::vector<std::int16_t> frames; // interleaved left, right
    std::size_t count() const { return frames.size() / 2; }
};

std::optional<Sound> readSound(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.string().c_str(), SFM_READ, &info);
    if (file == nullptr) return std::nullopt;
    Sound sound;
    sound.format = info.format;
    if (info.channels == 2 && info.samplerate == 48000) {
        sound.frames.resize(static_cast<std::size_t>(info.frames) * 2);
        sound.frames.resize(
            2 * static_cast<std::size_t>(sf_readf_short(file, sound.frames.data(), info.frames)));
    }
    sf_close(file);
    return sound;
}

// The first frame where either side exceeds threshold.
std::size_t onset(const Sound& sound, int threshold = 400) {
    for (std::size_t i = 0; i < sound.frames.size(); ++i)
        if (std::abs(sound.frames[i]) > threshold) return i / 2;
    return sound.count();
}

// The log line's field, e.g. field(line, "underruns").
std::string field(const std::string& line, const std::string& name) {
    const std::size_t at = line.find(" " + name + "=");
    if (at == std::string::npos) return "";
    const std::size_t start = at + name.size() + 2;
    return line.substr(start, line.find(' ', start) - start);
}

std::optional<std::string> logLine(const std::vector<std::string>& lines,
                                   const std::string& event) {
    for (const std::string& line : lines) {
        std::istringstream words(line);
        std::string ms, name;
        words >> ms >> name;
        if (name == event) return line;
    }
    return std::nullopt;
}

class AudibleBoardTest : public ::testing::Test {
protected:
    AudibleBoardTest() {
        layout.addToBin(driverImages / "VELKAN.BIN");
        layout.addToBin(driverImages / "test-song.vkn");
        std::ofstream(layout.libraryDirectory() / PlayerLayout::iniName)
            << "[ftd2xx(COM1)]\nSLOT_00_CHIP_ID=38\nSLOT_00_CHIP_CLOCK=4000000\n";
    }

    // Starts the test song on the audible board with the given sound settings.
    ChildProcess startPlayer(const std::vector<std::string>& sound) {
        std::vector<std::string> environment = {
            "TAVRO_D2XX_MODULE=" + virtualBoard.string(), "TAVRO_VB_PORTS=1", "TAVRO_VB_MODEL=KX7M",
            "TAVRO_VB_LOG=" + layout.file("board.log").string()};
        environment.insert(environment.end(), sound.begin(), sound.end());
        return layout.start({"test-song.vkn"}, environment);
    }

    // Plays for the given time after the title line, then interrupts.
    ChildExit play(const std::vector<std::string>& sound, std::chrono::milliseconds playing,
                   std::string* standardError = nullptr) {
        ChildProcess player = startPlayer(sound);
        EXPECT_TRUE(player.waitForOutputLine(10s));
        std::this_thread::sleep_for(playing);
        player.sendSignal(SIGINT);
        const ChildExit exit = player.wait(10s);
        if (standardError != nullptr) *standardError = player.standardError();
        log = readLines(layout.file("board.log"));
        return exit;
    }

    // The song's three tones, measured over one second from 300 ms after
    // the sound begins.
    static void expectTheSongsTones(const Sound& sound) {
        const std::size_t from = onset(sound) + 14400;
        ASSERT_GE(sound.count(), from + 48000) << "too short";
        std::vector<std::int16_t> second(sound.frames.begin() + 2 * from,
                                         sound.frames.begin() + 2 * (from + 48000));
        const std::vector<double> left = channel(second, 0), right = channel(second, 1);
        EXPECT_NEAR(peakNear(left, rate, opm1Hz, 0.03), opm1Hz, opm1Hz * 0.002) << "YM2151 #1";
        EXPECT_NEAR(peakNear(right, rate, opm2Hz, 0.03), opm2Hz, opm2Hz * 0.002) << "YM2151 #2";
        EXPECT_NEAR(peakNear(left, rate, psgHz, 0.03), psgHz, psgHz * 0.0005) << "PSG, left";
        EXPECT_NEAR(peakNear(right, rate, psgHz, 0.03), psgHz, psgHz * 0.0005) << "PSG, right";
        // Each YM2151 on its own side only, at a full voice's level; the PSG
        // alike on both.
        EXPECT_GT(decibels(amplitudeAt(left, rate, opm1Hz)), -24.0);
        EXPECT_GT(decibels(amplitudeAt(right, rate, opm2Hz)), -24.0);
        EXPECT_LT(decibels(amplitudeAt(right, rate, opm1Hz)), -80.0);
        EXPECT_LT(decibels(amplitudeAt(left, rate, opm2Hz)), -80.0);
        const double psgLeft = amplitudeAt(left, rate, psgHz);
        EXPECT_GT(decibels(psgLeft), -40.0);
        EXPECT_NEAR(amplitudeAt(right, rate, psgHz), psgLeft, psgLeft * 0.01);
    }

    // See below.
    void expectPlayedTheBoardsFile(const std::filesystem::path& wav,
                                   const std::optional<Sound>& played) const;

    PlayerLayout layout{tonrigProgram, tavroLibrary};
    std::vector<std::string> log;
};

TEST_F(AudibleBoardTest, WithoutAServerTheBoardGoesOnSilentlyAndItsFileHasTheSongsTones) {
#ifdef _WIN32
    const std::filesystem::path flac = layout.file("board.wav");
    constexpr int fileType = SF_FORMAT_WAV;
    const std::vector<std::string> sound = {"TAVRO_VB_AUDIO=no such device",
                                            "TAVRO_VB_WAV=" + flac.string()};
#else
    const std::filesystem::path flac = layout.file("board.flac");
    constexpr int fileType = SF_FORMAT_FLAC;
    const std::vector<std::string> sound = {
        "PULSE_SERVER=unix:" + layout.file("no-server").string(), "TAVRO_VB_AUDIO=default",
        "TAVRO_VB_WAV=" + flac.string()};
#endif
    std::string standardError;
    const ChildExit exit = play(sound, 2000ms, &standardError);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(std::count(standardError.begin(), standardError.end(), '\n'), 1) << standardError;
    EXPECT_NE(standardError.find("no live sound"), std::string::npos) << standardError;
    EXPECT_TRUE(logLine(log, "audio-failed"));
    EXPECT_FALSE(logLine(log, "audio-end"));
    const auto wavLine = logLine(log, "wav");
    ASSERT_TRUE(wavLine);

    const auto written = readSound(flac);
    ASSERT_TRUE(written) << "no readable file";
    EXPECT_EQ(written->format & SF_FORMAT_TYPEMASK, fileType);
    EXPECT_EQ(std::to_string(written->count()), field(*wavLine, "frames"));
    // The file runs from the board's start to its close: about the time played
    // (on Windows also the time the system took to answer that it has no such
    // device, some ten seconds at times under Wine when its services start).
    // The board may open a little after the player's first line, from which
    // the two seconds are counted.
    EXPECT_GT(written->count(), 1.5 * rate);
#ifdef _WIN32
    EXPECT_LT(written->count(), 16.0 * rate);
#else
    EXPECT_LT(written->count(), 4.0 * rate);
#endif
    expectTheSongsTones(*written);
}

TEST_F(AudibleBoardTest, APlayerKilledOutrightLeavesAReadableFile) {
    const std::filesystem::path wav = layout.file("board.wav");
    ChildProcess player = startPlayer({"TAVRO_VB_WAV=" + wav.string()});
    EXPECT_TRUE(player.waitForOutputLine(10s));
    std::this_thread::sleep_for(1500ms);
    player.wait(0ms); // killed at once
    const auto sound = readSound(wav);
    ASSERT_TRUE(sound) << "no readable file";
    EXPECT_EQ(sound->format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
    EXPECT_GT(sound->count(), 1.0 * rate);
    EXPECT_LT(onset(*sound), sound->count()) << "no sound in the file";
}

// The correlation of a and b, b shifted by offset frames, over the frames
// both have from a's frame from on (both sides).
double correlation(const Sound& a, const Sound& b, long offset, std::size_t from,
                   std::size_t frames) {
    double ab = 0, aa = 0, bb = 0, sa = 0, sb = 0;
    std::size_t n = 0;
    for (std::size_t i = from; i < from + frames && i < a.count(); ++i) {
        const long j = static_cast<long>(i) + offset;
        if (j < 0 || static_cast<std::size_t>(j) >= b.count()) continue;
        for (int side = 0; side < 2; ++side) {
            const double x = a.frames[2 * i + side], y = b.frames[2 * j + side];
            ab += x * y;
            aa += x * x;
            bb += y * y;
            sa += x;
            sb += y;
            ++n;
        }
    }
    if (n == 0) return 0;
    const double cov = ab - sa * sb / n, va = aa - sa * sa / n, vb = bb - sb * sb / n;
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
}

// What the board played live (its log) against its own file: no underrun,
// nothing late (but under AddressSanitizer) or lost, and the recording of what was played matches the
// file (correlation at least 0.99 once aligned).
void AudibleBoardTest::expectPlayedTheBoardsFile(const std::filesystem::path& wav,
                                                 const std::optional<Sound>& played) const {
    ASSERT_TRUE(played) << "the recording is missing";
    ASSERT_TRUE(logLine(log, "audio")) << "the board did not play";
    const auto ended = logLine(log, "audio-end");
    ASSERT_TRUE(ended);
#ifndef __SANITIZE_ADDRESS__
    // Under AddressSanitizer the software chips run several times slower:
    // there an underrun or a late write says nothing of the real build.
    EXPECT_EQ(field(*ended, "underruns"), "0") << *ended;
    EXPECT_EQ(field(*ended, "late"), "0") << *ended;
#endif
    EXPECT_EQ(field(*ended, "lost"), "") << *ended;

    const auto board = readSound(wav);
    ASSERT_TRUE(board) << "the board's file is missing";
    expectTheSongsTones(*board);

    // Aligned on the sound's beginning, then on the best correlation nearby.
    const std::size_t start = onset(*board);
    ASSERT_LT(start, board->count());
    ASSERT_LT(onset(*played), played->count()) << "nothing was played";
    const long rough = static_cast<long>(onset(*played)) - static_cast<long>(start);
    const std::size_t from = start > 2400 ? start - 2400 : 0;
    long best = rough;
    double bestCorrelation = -1;
    for (long offset = rough - 480; offset <= rough + 480; ++offset) {
        const double c = correlation(*board, *played, offset, from, 24000);
        if (c > bestCorrelation) {
            bestCorrelation = c;
            best = offset;
        }
    }
    // Over everything both have from the beginning of the sound on.
    const std::size_t overlap =
        std::min(board->count(),
                 static_cast<std::size_t>(static_cast<long>(played->count()) - best)) -
        from;
    EXPECT_GT(overlap, static_cast<std::size_t>(2.0 * rate)) << "the recording misses sound";
    const double matched = correlation(*board, *played, best, from, overlap);
    RecordProperty("correlation", std::to_string(matched));
    EXPECT_GE(matched, 0.99);
}

#ifdef _WIN32

// The sound the server recorded, raw 16-bit stereo, from byte `from` on.
std::optional<Sound> readRawSound(const std::filesystem::path& path, std::uintmax_t from) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(static_cast<std::streamoff>(from - from % 4));
    Sound sound;
    sound.format = SF_FORMAT_RAW;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    sound.frames.resize(bytes.size() / 4 * 2);
    std::memcpy(sound.frames.data(), bytes.data(), sound.frames.size() * 2);
    return sound;
}

TEST_F(AudibleBoardTest, WhatTheServerPlayedMatchesTheBoardsFileWithoutUnderrun) {
    const char* recording = std::getenv("TONRIG_SOUND_RECORDING");
    if (recording == nullptr)
        GTEST_SKIP() << "no sound server records the system's output (run the test through "
                        "tests/player/wine-with-sound-server)";
    const std::filesystem::path recorded = recording;
    std::error_code error;
    const std::uintmax_t before = std::filesystem::file_size(recorded, error);
    ASSERT_FALSE(error) << recorded.string() << ": " << error.message();
    const std::filesystem::path wav = layout.file("board.wav");
    // The system's output starts later than a sound server's: a longer play
    // leaves as much sound to compare.
    const ChildExit exit = play({"TAVRO_VB_AUDIO=default", "TAVRO_VB_WAV=" + wav.string()}, 3500ms);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    // What was played out last reaches the recording a little later.
    std::this_thread::sleep_for(1000ms);
    expectPlayedTheBoardsFile(wav, readRawSound(recorded, before));
}

#else

TEST_F(AudibleBoardTest, WhatTheServerPlayedMatchesTheBoardsFileWithoutUnderrun) {
    const auto pulseaudio = findProgram("pulseaudio");
    const auto parec = findProgram("parec");
    if (!pulseaudio || !parec)
        GTEST_SKIP() << "pulseaudio and parec are needed (Debian package pulseaudio)";
    const SoundServer server(*pulseaudio, layout.file("server"));
    ASSERT_TRUE(server.running()) << server.log();

    const std::filesystem::path recorded = layout.file("recorded.wav");
    const std::filesystem::path wav = layout.file("board.wav");
    std::filesystem::create_directories(layout.file("recorder"));
    ChildProcess recorder(*parec,
                          {"--device=board.monitor", "--latency-msec=20", "--rate=48000",
                           "--channels=2", "--format=s16le", "--file-format=wav",
                           recorded.string()},
                          layout.file("recorder"), {server.address()});
    // A null sink starts with blocks of 2 s; the recorder's low latency takes
    // over once the first block has passed.
    std::this_thread::sleep_for(2500ms);
    const ChildExit exit =
        play({server.address(), "TAVRO_VB_AUDIO=default", "TAVRO_VB_WAV=" + wav.string()}, 2500ms);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.code, 0);
    // The server's buffer and a slow (sanitized, loaded) recorder let the
    // last of the sound arrive well after the board has gone.
    std::this_thread::sleep_for(1000ms);
    recorder.sendSignal(SIGINT);
    recorder.wait(5s);

    expectPlayedTheBoardsFile(wav, readSound(recorded));
}

#endif

} // namespace
