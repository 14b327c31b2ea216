// --wav: the files rendered through the software chips into one 48 kHz
// stereo WAV file, as long as the music, with sound where the chips play and
// silence where they do not; files that cannot be rendered are reported.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "../songs/S98Builder.h"
#include "../vgm/VgmBuilder.h"
#include "support/ChildProcess.h"
#include "tavroplay/Program.h"

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
    save(scratch.path() / "opn.vgm", VgmBuilder().write(0x55, 0x28, 0xF0).wait(441).build());

    const std::filesystem::path wav = scratch.path() / "out.wav";
    const int code = tavroplay::runProgram(
        {"--quiet", "--wav", wav.string(), (scratch.path() / "psg.vgm").string(),
         (scratch.path() / "missing.vgm").string(), (scratch.path() / "opn.vgm").string(),
         (scratch.path() / "opm.vgm").string()});
    EXPECT_EQ(code, 1); // two files could not be rendered
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

} // namespace
