// The software ADPCM voices and their chip family: a voice starts at the
// frame the clock says, plays its sample once at its rate on the track's
// side, is cut by the next start on its track, follows the fade and stops
// on silence; restoring after a pause starts nothing again.
#include <gtest/gtest.h>

#include <cmath>

#include "tavroplay/AdpcmFamily.h"
#include "tavroplay/PcmVoices.h"

namespace {

using tavroplay::AdpcmFamily;
using tavroplay::PcmVoices;

constexpr std::uint32_t outputRate = 48000;

struct Voices {
    std::vector<songs::SongPcm> pcm;
    std::uint64_t now = 0;
    PcmVoices voices{pcm, outputRate, [this] { return now; }};

    // frames of stereo output from frame first.
    std::vector<std::int16_t> render(std::uint64_t first, std::size_t frames) {
        std::vector<std::int16_t> out(2 * frames, 0);
        voices.mix(out.data(), frames, first);
        return out;
    }
};

TEST(PcmVoices, VoicesStartAtTheClockOnTheirSideAndEnd) {
    Voices v;
    // 4 samples at 24 kHz: 2 output frames each, the last one interpolated
    // towards nothing and so left out.
    v.pcm.push_back({{100, 200, 300, 400}, 24000});
    v.now = 10;
    v.voices.write(AdpcmFamily::panBase + 2, 1); // track 2 left only
    v.voices.write(AdpcmFamily::startBase + 2, 0);
    auto out = v.render(8, 12);
    const double gain = PcmVoices::pcmGain;
    // Frames 8 and 9 silent; from 10: 100, 150, 200, 250, 300, 350, then done.
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2 * 1], 0);
    EXPECT_NEAR(out[2 * 2], 100 * gain, 1.0);
    EXPECT_NEAR(out[2 * 3], 150 * gain, 1.0);
    EXPECT_NEAR(out[2 * 7], 350 * gain, 1.0);
    EXPECT_EQ(out[2 * 8], 0);
    for (std::size_t frame = 0; frame < 12; ++frame)
        EXPECT_EQ(out[2 * frame + 1], 0);
    // Both sides by default; a sample index the song lacks starts nothing.
    v.now = 100;
    v.voices.write(AdpcmFamily::startBase + 3, 0);
    v.voices.write(AdpcmFamily::startBase + 4, 7);
    out = v.render(100, 1);
    EXPECT_NEAR(out[0], 100 * gain, 1.0);
    EXPECT_NEAR(out[1], 100 * gain, 1.0);
}

TEST(PcmVoices, ANewStartCutsTheTrackAndTheFadeAndSilenceApply) {
    Voices v;
    v.pcm.push_back({std::vector<std::int16_t>(100, 1000), outputRate});
    v.pcm.push_back({std::vector<std::int16_t>(100, -500), outputRate});
    v.voices.write(AdpcmFamily::startBase, 0);
    v.voices.write(AdpcmFamily::startBase + 1, 0);
    EXPECT_NEAR(v.render(0, 1)[0], 2 * 1000 * PcmVoices::pcmGain, 1.0);
    v.now = 5;
    v.voices.write(AdpcmFamily::startBase, 1);
    EXPECT_NEAR(v.render(5, 1)[0], (1000 - 500) * PcmVoices::pcmGain, 1.0);
    // A stop takes effect at the clock's frame, as a start does.
    v.now = 6;
    v.voices.write(AdpcmFamily::stopBase + 1, 0);
    EXPECT_NEAR(v.render(5, 1)[0], (1000 - 500) * PcmVoices::pcmGain, 1.0);
    EXPECT_NEAR(v.render(6, 1)[0], -500 * PcmVoices::pcmGain, 1.0);
    v.voices.write(AdpcmFamily::startBase + 1, 0);
    v.voices.write(AdpcmFamily::attenuationRegister, 8); // 6 dB: about a half
    EXPECT_NEAR(v.render(6, 1)[0], (1000 - 500) * PcmVoices::pcmGain * 0.501, 1.0);
    // A track's gain, in sixteenths.
    v.voices.write(AdpcmFamily::attenuationRegister, 0);
    v.voices.write(AdpcmFamily::gainBase + 1, 32); // track 1 (sample 0) twice as loud
    EXPECT_NEAR(v.render(6, 1)[0], (2 * 1000 - 500) * PcmVoices::pcmGain, 1.0);
    // Silence, at the clock's frame too (the board's notes fall silent
    // then), stopping every track.
    v.now = 8;
    v.voices.write(AdpcmFamily::stopRegister, 0);
    EXPECT_NEAR(v.render(7, 1)[0], (2 * 1000 - 500) * PcmVoices::pcmGain, 1.0);
    EXPECT_EQ(v.render(8, 1)[0], 0);
    EXPECT_EQ(v.render(9, 1)[0], 0);
}

// The fade sounds when the writes made with it do, as a start does, step
// by step within one block of output; a later write for a frame not sounded
// yet replaces what waits from there.
TEST(PcmVoices, TheFadeStepsAtTheClocksFrames) {
    Voices v;
    v.pcm.push_back({std::vector<std::int16_t>(1000, 1000), outputRate});
    v.voices.write(AdpcmFamily::startBase, 0);
    const double full = 1000 * PcmVoices::pcmGain;
    const double step = std::pow(10.0, -AdpcmFamily::attenuationStepDecibels / 20);
    for (std::uint8_t level = 1; level <= 4; ++level) {
        v.now = 10 * level;
        v.voices.write(AdpcmFamily::attenuationRegister, level);
    }
    const std::vector<std::int16_t> out = v.render(0, 60);
    for (std::size_t frame = 0; frame < 60; ++frame)
        EXPECT_NEAR(out[2 * frame], full * std::pow(step, std::min<double>(frame / 10, 4)), 1.0)
            << "frame " << frame;
    // Written at 70 and 80, then for 75 (a clock set back): 75 replaces 80.
    v.now = 70;
    v.voices.write(AdpcmFamily::attenuationRegister, 8);
    v.now = 80;
    v.voices.write(AdpcmFamily::attenuationRegister, 16);
    v.now = 75;
    v.voices.write(AdpcmFamily::attenuationRegister, 0);
    const std::vector<std::int16_t> later = v.render(60, 30);
    EXPECT_NEAR(later[2 * 9], full * std::pow(step, 4), 1.0);
    EXPECT_NEAR(later[2 * 10], full * std::pow(step, 8), 1.0);
    EXPECT_NEAR(later[2 * 15], full, 1.0);
    EXPECT_NEAR(later[2 * 25], full, 1.0);
}

struct Recorder : tavroplay::RegisterSink {
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    void write(std::uint16_t address, std::uint8_t data) override {
        writes.emplace_back(address, data);
    }
};

TEST(AdpcmFamily, StartsAreEventsThePanStateAndSilenceStopsEverything) {
    Recorder sink;
    AdpcmFamily family(1.0, sink);
    family.write(AdpcmFamily::panBase, 2);
    family.write(AdpcmFamily::startBase, 5);
    family.write(AdpcmFamily::startBase, 5);
    EXPECT_EQ(family.activity(), "#.......");
    EXPECT_EQ(family.activity(), "........");
    ASSERT_EQ(sink.writes.size(), 3u);
    EXPECT_EQ(sink.writes[2], std::make_pair(AdpcmFamily::startBase, std::uint8_t{5}));
    sink.writes.clear();
    family.silence();
    ASSERT_FALSE(sink.writes.empty());
    EXPECT_EQ(sink.writes[0].first, AdpcmFamily::stopRegister);
    EXPECT_EQ(sink.writes.back(),
              std::make_pair(AdpcmFamily::attenuationRegister, AdpcmFamily::mutedSteps));
    sink.writes.clear();
    family.restore();
    for (const auto& w : sink.writes)
        EXPECT_GE(w.first, AdpcmFamily::panBase);
    EXPECT_EQ(sink.writes.back(),
              std::make_pair(AdpcmFamily::attenuationRegister, std::uint8_t{0}));
    // In the YM2151's total level steps, as the FM fades.
    family.setAttenuation(6.0);
    EXPECT_EQ(sink.writes.back(),
              std::make_pair(AdpcmFamily::attenuationRegister, std::uint8_t{8}));
}

} // namespace
