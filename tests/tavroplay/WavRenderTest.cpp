// --wav: the files rendered through the software chips into one 48 kHz
// stereo WAV file, as long as the music, with sound where the chips play and
// silence where they do not; files that cannot be rendered are reported.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "../mdx/LevelSongs.h"
#include "../mdx/MdxBuilder.h"
#include "../songs/S98Builder.h"
#include "../synth/ToneAnalysis.h"
#include "../vgm/VgmBuilder.h"
#include "mdx/MdxMeasured.h"
#include "support/ChildProcess.h"
#include "tavroplay/MixerDestination.h"
#include "tavroplay/Program.h"
#include "tavroplay/Session.h"
#include "tavroplay/WavRenderer.h"

namespace {

void save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::int16_t> readWav(const std::filesystem::path& path, SF_INFO& info) {
    info = {};
    SNDFILE* in = sf_open(path.string().c_str(), SFM_READ, &info);
    EXPECT_NE(in, nullptr) << sf_strerror(nullptr);
    if (in == nullptr) return {};
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * info.channels));
    EXPECT_EQ(sf_readf_short(in, samples.data(), info.frames), info.frames);
    sf_close(in);
    return samples;
}

double loudness(const std::vector<std::int16_t>& samples, std::size_t firstFrame,
                std::size_t frames) {
    double sum = 0;
    for (std::size_t i = 2 * firstFrame; i < 2 * (firstFrame + frames); ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / (2.0 * frames));
}

TEST(WavRender, RendersTheFilesOneAfterTheOtherAt48kHz) {
    ScratchDirectory scratch;
    // Half a second of silence, then half a second of a PSG tone.
    save(scratch.path() / "psg.vgm", VgmBuilder()
                                         .set32(0x74, 2000000)
                                         .wait(22050)
                                         .write(0xA0, 0x00, 0xFE)
                                         .write(0xA0, 0x07, 0x3E)
                                         .write(0xA0, 0x08, 0x0F)
                                         .wait(22050)
                                         .build());
    // A quarter second of a YM2151 note.
    VgmBuilder opm;
    opm.set32(0x30, 4000000).write(0x54, 0x20, 0xC7).write(0x54, 0x28, 0x4A);
    for (int op = 0; op < 4; ++op) {
        opm.write(0x54, static_cast<std::uint8_t>(0x60 + 8 * op), op == 3 ? 0x00 : 0x7F);
        opm.write(0x54, static_cast<std::uint8_t>(0x80 + 8 * op), 0x1F);
        opm.write(0x54, static_cast<std::uint8_t>(0xE0 + 8 * op), 0x0F);
    }
    opm.write(0x54, 0x08, 0x78).wait(11025);
    save(scratch.path() / "opm.vgm", opm.build());
    // A YM3812, which no software chip plays and nothing converts.
    save(scratch.path() / "opl.s98",
         S98Builder('3').timer(1, 100).device(8, 3579545).write(0, 0x20, 0x01).sync().build());

    const std::filesystem::path wav = scratch.path() / "out.wav";
    const int code = tavroplay::runProgram(
        {"--quiet", "--wav", wav.string(), (scratch.path() / "psg.vgm").string(),
         (scratch.path() / "opl.s98").string(), (scratch.path() / "opm.vgm").string()});
    EXPECT_EQ(code, 1); // one file could not be rendered
    SF_INFO info;
    const std::vector<std::int16_t> samples = readWav(wav, info);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 24000 + 24000 + 12000);
    if (info.frames != 60000) return;
    EXPECT_LT(loudness(samples, 0, 24000), 1.0);
    EXPECT_GT(loudness(samples, 24000, 24000), 100.0);
    EXPECT_GT(loudness(samples, 48000, 12000), 100.0);
}

// Chips no software chip plays are rendered converted: an SN76489's tone on
// the SSG and a YM2203's FM note on the YM2151, each at its pitch.
TEST(WavRender, ConvertsTheChipsItHasNoSoftwareChipFor) {
    ScratchDirectory scratch;
    // An SN76489 at 3.579545 MHz: tone 0 at period 254, 440.4 Hz.
    save(scratch.path() / "sn.vgm", VgmBuilder()
                                        .set32(0x0C, 3579545)
                                        .bytes({0x50, 0x8E, 0x50, 0x0F, 0x50, 0x90})
                                        .wait(22050)
                                        .build());
    // A YM2203 at 3.9936 MHz: S4 alone on channel 0, F-number 1100 block 4
    // (1100 x 8 x 55466.7 / 2^20 = 465.5 Hz).
    VgmBuilder opn;
    opn.set32(0x44, 3993600).write(0x55, 0xB0, 0x07);
    for (int op = 0; op < 4; ++op) {
        const auto offset = static_cast<std::uint8_t>(4 * op);
        opn.write(0x55, 0x30 + offset, 0x01);
        opn.write(0x55, 0x40 + offset, op == 3 ? 0x00 : 0x7F);
        opn.write(0x55, 0x50 + offset, 0x1F);
        opn.write(0x55, 0x80 + offset, 0x0F);
    }
    opn.write(0x55, 0xA4, 0x24).write(0x55, 0xA0, 0x4C).write(0x55, 0x28, 0xF0).wait(22050);
    save(scratch.path() / "opn.vgm", opn.build());
    for (const auto& [file, hz] : {std::pair{"sn.vgm", 3579545 / 32.0 / 254},
                                   std::pair{"opn.vgm", 1100 * 8 * (3993600 / 72.0) / 1048576}}) {
        const std::filesystem::path wav = scratch.path() / "out.wav";
        EXPECT_EQ(tavroplay::runProgram(
                      {"--quiet", "--wav", wav.string(), (scratch.path() / file).string()}),
                  0)
            << file;
        SF_INFO info;
        const std::vector<std::int16_t> samples = readWav(wav, info);
        ASSERT_GT(info.frames, 12000) << file;
        EXPECT_GT(loudness(samples, 4800, 4800), 100.0) << file;
        const std::vector<double> left = toneanalysis::channel(samples, 0, 4800);
        EXPECT_NEAR(toneanalysis::peakNear(left, 48000, hz, 0.03) / hz, 1, 0.005) << file;
    }
}

// The first and last frame of a tone: where the left channel steps by more
// than a threshold from one frame to the next (the square wave's edges; the
// output coupling's slow decay after the tone does not).
std::pair<std::size_t, std::size_t> soundingSpan(const std::vector<std::int16_t>& samples) {
    constexpr int threshold = 1000;
    std::size_t first = samples.size(), last = 0;
    for (std::size_t frame = 1; 2 * frame < samples.size(); ++frame)
        if (std::abs(samples[2 * frame] - samples[2 * frame - 2]) > threshold) {
            first = std::min(first, frame);
            last = frame;
        }
    return {first, last};
}

TEST(WavRender, TheSoundStartsAndEndsWhereTheSongPutsIt) {
    ScratchDirectory scratch;
    // A quarter second of silence, a quarter second of a PSG tone, then a
    // quarter second of silence; and an S98 file of the same on a YM2149.
    // The VGM file also has a silent YM2413, a chip the mixer sounds later
    // than the SSG: the SSG's writes wait for it.
    save(scratch.path() / "tone.vgm", VgmBuilder()
                                          .set32(0x74, 2000000)
                                          .set32(0x10, 3579545)
                                          .write(0x51, 0x30, 0x0F)
                                          .write(0xA0, 0x00, 0x40)
                                          .write(0xA0, 0x07, 0x3E)
                                          .wait(11025)
                                          .write(0xA0, 0x08, 0x0F)
                                          .wait(11025)
                                          .write(0xA0, 0x08, 0x00)
                                          .wait(11025)
                                          .build());
    save(scratch.path() / "tone.s98", S98Builder('3')
                                          .timer(1, 4) // a sync is a quarter second
                                          .device(1, 4000000)
                                          .write(0, 0x00, 0x40)
                                          .write(0, 0x07, 0x3E)
                                          .sync()
                                          .write(0, 0x08, 0x0F)
                                          .sync()
                                          .write(0, 0x08, 0x00)
                                          .sync()
                                          .build());
    for (const char* name : {"tone.vgm", "tone.s98"}) {
        const std::filesystem::path wav = scratch.path() / "tone.wav";
        EXPECT_EQ(tavroplay::runProgram(
                      {"--quiet", "--wav", wav.string(), (scratch.path() / name).string()}),
                  0);
        SF_INFO info;
        const std::vector<std::int16_t> samples = readWav(wav, info);
        EXPECT_EQ(info.frames, 36000) << name;
        const auto [first, last] = soundingSpan(samples);
        // Within 2 ms (96 frames) of 12,000 and 24,000: the mixer's delay
        // made up for.
        EXPECT_NEAR(static_cast<double>(first), 12000.0, 96.0) << name;
        EXPECT_NEAR(static_cast<double>(last), 24000.0, 96.0) << name;
    }
}

TEST(WavRender, MdxSamplesSoundWithTheFmNotesOfTheSameTick) {
    ScratchDirectory scratch;
    // An FM note on the left and a sample on the right, both at tick 10.
    mdxtest::Song song;
    song.pdxName = "KIT";
    song.voices.push_back(mdxtest::testVoice(1));
    song.tracks[0].tempo(200).voice(1).pan(1).rest(10).note(40, 20).end();
    song.tracks[8].pan(2).rest(10).note(0, 20).end();
    save(scratch.path() / "both.mdx", song.build());
    // One sample of 2000 bytes after the 96-entry table.
    constexpr std::uint32_t table = 96 * 8;
    constexpr std::uint32_t length = 2000;
    std::vector<std::uint8_t> bank(table + length, 0x77);
    std::fill_n(bank.begin(), table, std::uint8_t{0});
    for (int i = 0; i < 4; ++i) {
        bank[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(table >> (24 - 8 * i));
        bank[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    save(scratch.path() / "kit.pdx", bank);
    const std::filesystem::path wav = scratch.path() / "both.wav";
    std::string err;
    testing::internal::CaptureStderr();
    EXPECT_EQ(tavroplay::runProgram(
                  {"--quiet", "--wav", wav.string(), (scratch.path() / "both.mdx").string()}),
              0);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "");
    SF_INFO info;
    const std::vector<std::int16_t> samples = readWav(wav, info);
    auto onset = [&](int side) {
        for (std::size_t frame = 0; frame < samples.size() / 2; ++frame)
            if (samples[2 * frame + static_cast<std::size_t>(side)] != 0)
                return static_cast<double>(frame);
        return -1.0;
    };
    // Ten ticks of timer B at 200 on a 4 MHz chip.
    const double tick = 1024.0 * (256 - 200) / 4e6 * 48000;
    EXPECT_NEAR(onset(0), 10 * tick, 96.0);
    EXPECT_NEAR(onset(1), 10 * tick, 96.0);
    EXPECT_NEAR(onset(1) - onset(0), 0.0, 48.0);
    std::printf("[ offset ] FM onset at frame %.0f, sample onset at frame %.0f (tick 10: %.1f)\n",
                onset(0), onset(1), 10 * tick);
}

TEST(WavRender, MdxSamplesHaveTheReferencesLevelAgainstTheFm) {
    ScratchDirectory scratch;
    save(scratch.path() / "sine.mdx", mdxtest::fmSineSong().build());
    save(scratch.path() / "square.mdx", mdxtest::adpcmSquareSong().build());
    save(scratch.path() / (std::string(mdxtest::levelBankName) + ".PDX"), mdxtest::levelBank());
    auto level = [&](const char* name) {
        const std::filesystem::path wav = scratch.path() / "level.wav";
        EXPECT_EQ(tavroplay::runProgram(
                      {"--quiet", "--wav", wav.string(), (scratch.path() / name).string()}),
                  0);
        SF_INFO info;
        const std::vector<std::int16_t> samples = readWav(wav, info);
        // The second 100 ms.
        return loudness(samples, 4800, 4800);
    };
    const double ratio = level("square.mdx") / level("sine.mdx");
    EXPECT_NEAR(ratio, mdx::measured::adpcmToFmLevel, 0.3);
}

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// runProgram with what it says on standard error.
int runCapturing(const std::vector<std::string>& arguments, std::string& err) {
    testing::internal::CaptureStderr();
    const int code = tavroplay::runProgram(arguments);
    err = testing::internal::GetCapturedStderr();
    return code;
}

TEST(WavRenderFiles, LosesNoFileWritesNothingForNothingAndChoosesTheFormatByName) {
    ScratchDirectory scratch;
    const std::filesystem::path song = scratch.path() / "song.vgm";
    save(song, VgmBuilder().set32(0x74, 2000000).write(0xA0, 0x08, 0x0F).wait(4410).build());
    const std::filesystem::path out = scratch.path() / "out.wav";
    std::ofstream(out) << "an earlier render";
    std::string err;
    // A mistyped input: nothing is written, the earlier file is kept.
    EXPECT_EQ(runCapturing({"--quiet", "--wav", out.string(), song.string(),
                            (scratch.path() / "sogn.vgm").string()},
                           err),
              1);
    EXPECT_NE(err.find("sogn.vgm: no such file"), std::string::npos) << err;
    EXPECT_NE(err.find("out.wav: not written"), std::string::npos) << err;
    EXPECT_EQ(contents(out), "an earlier render");
    // The output is one of the inputs: refused, the song kept.
    const std::string songBytes = contents(song);
    EXPECT_EQ(runCapturing({"--wav", song.string(), song.string()}, err), 1);
    EXPECT_NE(err.find("is one of the files to render"), std::string::npos) << err;
    EXPECT_EQ(contents(song), songBytes);
    // Nothing to render (only a chip that neither a software chip plays nor
    // a conversion): no file.
    const std::filesystem::path opl = scratch.path() / "opl.s98";
    save(opl, S98Builder('3').timer(1, 100).device(8, 3579545).write(0, 0x20, 0x01).sync().build());
    const std::filesystem::path empty = scratch.path() / "empty.wav";
    EXPECT_EQ(runCapturing({"--quiet", "--wav", empty.string(), opl.string()}, err), 1);
    EXPECT_FALSE(std::filesystem::exists(empty));
    EXPECT_FALSE(std::filesystem::exists(tavroplay::partialPath(empty)));
    // A render that is done replaces the file, a small one as plain WAV;
    // .flac gives FLAC.
    EXPECT_EQ(runCapturing({"--quiet", "--wav", out.string(), song.string()}, err), 0) << err;
    EXPECT_EQ(contents(out).substr(0, 4), "RIFF");
    EXPECT_FALSE(std::filesystem::exists(tavroplay::partialPath(out)));
    const std::filesystem::path flac = scratch.path() / "out.FLAC";
#ifdef _WIN32
    // The Windows build's libsndfile has no FLAC: refused before anything is
    // written.
    EXPECT_EQ(runCapturing({"--quiet", "--wav", flac.string(), song.string()}, err), 1);
    EXPECT_NE(err.find("out.FLAC: this build cannot write that kind of sound file"),
              std::string::npos)
        << err;
    EXPECT_FALSE(std::filesystem::exists(tavroplay::partialPath(flac)));
#else
    EXPECT_EQ(runCapturing({"--quiet", "--wav", flac.string(), song.string()}, err), 0) << err;
    SF_INFO info;
    EXPECT_EQ(readWav(flac, info).size(), 2u * 4800);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
#endif
    // WAV files are begun as RF64, made plain WAV at the end below 4 GiB.
    const tavroplay::SoundFileFormat wavFormat = tavroplay::soundFileFormat("x.Wav");
    EXPECT_EQ(wavFormat.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_TRUE(wavFormat.rf64WhenLarge);
    EXPECT_EQ(tavroplay::partialPath("/a/b.wav"), std::filesystem::path("/a/b.partial.wav"));
}

TEST(WavRenderFiles, RefusesAClockNoChipCanBeGiven) {
    ScratchDirectory scratch;
    const std::filesystem::path song = scratch.path() / "slow.vgm";
    save(song, VgmBuilder().set32(0x30, 1).write(0x54, 0x28, 0x4A).wait(441).build());
    std::string err;
    EXPECT_EQ(runCapturing(
                  {"--quiet", "--wav", (scratch.path() / "slow.wav").string(), song.string()}, err),
              1);
    EXPECT_NE(err.find("slow.vgm: YM2151 at 1 Hz: a chip cannot be given that clock"),
              std::string::npos)
        << err;
}

TEST(WavRenderFiles, AStopEndsALongSilenceAndKeepsWhatWasRendered) {
    ScratchDirectory scratch;
    // A note, then ten hours of silence.
    VgmBuilder builder;
    builder.set32(0x74, 2000000).write(0xA0, 0x08, 0x0F).wait(44100);
    for (int hour = 0; hour < 10; ++hour)
        builder.wait(3600u * 44100u);
    const std::filesystem::path song = scratch.path() / "long.vgm";
    save(song, builder.build());
    const std::filesystem::path out = scratch.path() / "long.wav";
    std::string error;
    const auto line =
        tavroplay::CommandLine::parse({"--quiet", "--wav", out.string(), song.string()}, error);
    ASSERT_TRUE(line) << error;
    std::atomic<bool> stop{false};
    testing::internal::CaptureStderr();
    auto render = std::async(std::launch::async, [&] { return tavroplay::renderWav(*line, stop); });
    // Once a second of sound is in the file, a stop.
    const std::filesystem::path partial = tavroplay::partialPath(out);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto rendered = [&partial] {
        std::error_code code;
        const std::uintmax_t size = std::filesystem::file_size(partial, code);
        return !code && size >= 4u * 48000;
    };
    while (!rendered() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    // The hours left are not rendered first (a guard against a hang, not a timing).
    ASSERT_EQ(render.wait_for(std::chrono::seconds(120)), std::future_status::ready)
        << "the stop was not looked at while rendering the silence";
    render.get();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("long.wav: stopped; what was rendered is in"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(std::filesystem::exists(partial));
}

TEST(WavRenderFiles, ShowsProgressWithTheSpeedOnATerminal) {
    ScratchDirectory scratch;
    const std::filesystem::path song = scratch.path() / "song.vgm";
    save(song, VgmBuilder().set32(0x74, 2000000).write(0xA0, 0x08, 0x0F).wait(44100).build());
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open((scratch.path() / "p.wav").string().c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::atomic<bool> stop{false};
    std::ostringstream messages;
    {
        tavroplay::MixerDestination destination(file, stop);
        tavroplay::Session session(destination, {{1, 0.0}, false, true, false, false, true}, stop,
                                   messages);
        EXPECT_EQ(session.run({{song, ""}}), 0);
    }
    sf_close(file);
    // "0:00 / 0:01  SSG ...  x123": the time rendered, the total and the speed.
    const std::string text = messages.str();
    EXPECT_NE(text.find("\r0:00 / 0:01"), std::string::npos) << text;
    EXPECT_NE(text.find("  x"), std::string::npos) << text;
}

} // namespace
