// The virtual board's sound file: each register write sounds at its wire
// time, to the output frame, the file covers the session from bit-bang mode
// to close, and a TRQ05 board plays its YM2413 at the board clock.
#include "VirtualBoardFixture.h"

#include "../synth/ToneAnalysis.h"

#include <sndfile.h>

#include <cmath>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Sound {
    std::vector<std::int16_t> frames; // interleaved left, right
    std::size_t count() const { return frames.size() / 2; }
};

Sound readSound(const std::string& path) {
    SF_INFO info{};
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return sound;
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    sound.frames.resize(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_short(file, sound.frames.data(), info.frames);
    sf_close(file);
    return sound;
}

// The first frame from from on whose left sample passes threshold (above it
// when threshold is positive, below it when negative).
std::size_t crossing(const Sound& sound, int threshold, std::size_t from = 0) {
    for (std::size_t i = from; i < sound.count(); ++i) {
        const int sample = sound.frames[2 * i];
        if (threshold > 0 ? sample > threshold : sample < threshold) return i;
    }
    return sound.count();
}

TEST_F(VirtualBoardTest, EachWriteSoundsAtItsWireTime) {
    setting("TAVRO_VB_WAV", wavPath());
    // 1000 bytes per second: one pin byte per millisecond.
    FT_HANDLE handle = openForPlaying(0, 1000);
    TestWire wire;
    wire.filler(100);
    wire.registerWrite(0, 7, 0x3F); // every gate open: the level itself
    const std::size_t stepUp = wire.bytes.size() + 53;
    wire.registerWrite(0, 8, 0x0F); // channel A to its loudest: a step up
    wire.filler(250);
    const std::size_t stepDown = wire.bytes.size() + 53;
    wire.registerWrite(0, 8, 0x00); // and down again, 307 ms later
    wire.filler(100);
    ASSERT_EQ(send(handle, wire), ftOk);
    // The bytes are on the wire for 0.6 s; closing waits for them.
    ASSERT_EQ(d2xx().close(handle), ftOk);

    const auto lines = parsed(logLines());
    const auto written = withPrefix(lines, "wav port=1 file=" + wavPath());
    ASSERT_EQ(written.size(), 1u);
    const auto writes = withPrefix(lines, "write port=1 pos=0");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_NEAR(writes[2].ms - writes[1].ms, double(stepDown - stepUp), 0.01);

    const Sound sound = readSound(wavPath());
    EXPECT_NE(written[0].event.find("frames=" + std::to_string(sound.count())), std::string::npos);
    // From bit-bang mode to close: the 0.6 s on the wire, and what the calls
    // took (more under the sanitizers).
    EXPECT_GT(sound.count(), 48u * 600);
    EXPECT_LT(sound.count(), 48u * 2000);
    const std::size_t up = crossing(sound, 1000);
    const std::size_t down = crossing(sound, -1000, up);
    ASSERT_LT(down, sound.count());
    EXPECT_NEAR(double(down - up), 48.0 * double(stepDown - stepUp), 2.0);
    // The file starts 20 ms before bit-bang mode; the first step sounds at
    // its wire time, the mixer's latency (13 to 16 ms) taken off, to the
    // output frame.
    const double upMs = up / 48.0 - 20;
    const double stepUpMs = writes[1].ms - withPrefix(lines, "bitmode port=1 mask=0xff")[0].ms;
    EXPECT_NEAR(upMs, stepUpMs, 0.5);
}

TEST_F(VirtualBoardTest, ATrq05BoardPlaysItsYm2413AtTheBoardClock) {
    setting("TAVRO_VB_MODEL", "TRQ05");
    setting("TAVRO_VB_WAV", wavPath());
    // A port of its own: another test's bytes may still be on port 1's wire.
    setting("TAVRO_VB_PORTS", "7");
    FT_HANDLE handle = openForPlaying(0, 115200);
    TestWire wire;
    // The user instrument as a sine (carrier MUL 1, sustained, fastest
    // attack, modulator silent), F-number 288, block 4, key on, on the YM2413
    // at position 2.
    const std::uint8_t user[8] = {0x00, 0x21, 0x3F, 0x00, 0x00, 0xF0, 0x00, 0x00};
    for (std::uint8_t reg = 0; reg < 8; ++reg)
        wire.registerWrite(2, reg, user[reg]);
    wire.registerWrite(2, 0x10, 288 & 0xFF);
    wire.registerWrite(2, 0x20, 0x10 | 4 << 1 | 288 >> 8);
    ASSERT_EQ(send(handle, wire), ftOk);
    std::this_thread::sleep_for(1200ms);
    ASSERT_EQ(d2xx().close(handle), ftOk);

    const Sound sound = readSound(wavPath());
    ASSERT_GT(sound.count(), 48000u);
    const std::vector<std::int16_t> last(sound.frames.end() - 2 * 36000, sound.frames.end());
    const double expected = 288 * (3579545 / 72.0) * 8 / (1 << 18);
    const auto left = toneanalysis::channel(last, 0), right = toneanalysis::channel(last, 1);
    EXPECT_NEAR(toneanalysis::peakNear(left, 48000, expected, 0.03), expected, expected * 0.002);
    // Centred.
    const double amplitude = toneanalysis::amplitudeAt(left, 48000, expected);
    EXPECT_GT(amplitude, 100);
    EXPECT_NEAR(toneanalysis::amplitudeAt(right, 48000, expected), amplitude, amplitude * 0.001);
}

} // namespace
