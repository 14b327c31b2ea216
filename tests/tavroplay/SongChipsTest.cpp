// A song's chips on a destination: where each plays (the clock first, then
// any of its type, clock-corrected), the one line naming the chips nobody
// plays, and a source chip played through a conversion onto the families of
// its target chips, which fade as any chip does.
#include <gtest/gtest.h>

#include "RecordingDestination.h"
#include "tavroplay/SongChips.h"

namespace {

using songs::ChipType;
using namespace tavroplay;

songs::Song songOf(std::vector<songs::SongChip> chips) {
    songs::Song song;
    song.chips = std::move(chips);
    for (std::size_t i = 0; i < song.chips.size(); ++i)
        song.writes.push_back({0, 0x08, static_cast<std::uint8_t>(i), 0x0F});
    return song;
}

songs::SongChip chip(ChipType type, std::string name, std::uint32_t clock, int index = 0) {
    songs::SongChip result;
    result.type = type;
    result.name = std::move(name);
    result.clock = clock;
    result.index = index;
    return result;
}

TEST(SongChips, PlacesByClockThenTypeAndNamesTheChipsNobodyPlays) {
    RecordingDestination destination(
        {{ChipType::ym2151, 4000000}, {ChipType::ym2151, 3579545}, {ChipType::ssg, 2000000}});
    const songs::Song song = songOf(
        {chip(ChipType::ym2151, "YM2151", 3579545), chip(ChipType::ym2151, "YM2151", 3579545, 1),
         chip(ChipType::other, "YM3812", 3579545), chip(ChipType::ym2608, "YM2608", 7987200),
         chip(ChipType::ssg, "YM2149", 2000000)});
    SongChips chips(song, destination, ConversionFactory{});
    EXPECT_EQ(chips.placementLine(), "YM2151 on TEST(1), YM2151 #2 on TEST(1), YM2149 on TEST(1)");
    EXPECT_EQ(chips.dropped(), (std::vector<std::string>{"YM3812", "YM2608"}));
    ASSERT_EQ(chips.corrections().size(), 1u);
    EXPECT_EQ(chips.corrections()[0].rfind("YM2151 #2 is clock-corrected: the file's 3579545 Hz "
                                           "played on a 4000000 Hz chip (-1.92 semitones)",
                                           0),
              0u)
        << chips.corrections()[0];
    ASSERT_EQ(chips.meter().size(), 3u);
    EXPECT_EQ(chips.meter()[1].label, "OPM2");
    // The first YM2151 got the chip at its clock: written unchanged.
    chips.write({0, 0x28, 0, 0x4A});
    EXPECT_EQ(destination.sinks[1].state[0x28], 0x4A);
    // A write for a dropped chip goes nowhere.
    chips.write({0, 0x28, 2, 0x4A});
    EXPECT_EQ(destination.sinks[1].writes.size(), 1u);
}

// A conversion double: each source byte becomes the level of SSG channel A
// (its low four bits, inverted as the SN76489's attenuation is), and the
// losses it names.
class LevelConversion : public Conversion {
public:
    explicit LevelConversion(ChipFamily& ssg) : ssg_(ssg) {}
    void write(std::uint16_t, std::uint8_t data) override {
        ssg_.write(0x08, static_cast<std::uint8_t>(15 - (data & 0x0F)));
    }
    std::string losses() const override { return "stereo dropped"; }

private:
    ChipFamily& ssg_;
};

TEST(SongChips, AConvertedChipPlaysOnItsTargetsFamily) {
    RecordingDestination destination({{ChipType::ssg, 2000000}});
    const ConversionFactory factory{
        [](ChipType type) -> std::optional<ConversionTargets> {
            if (type != ChipType::sn76489) return std::nullopt;
            return ConversionTargets{ChipType::ssg, std::nullopt};
        },
        [](const songs::Song&, std::size_t,
           const ConversionOutput& output) -> std::unique_ptr<Conversion> {
            EXPECT_EQ(output.mainClock, 2000000u);
            return std::make_unique<LevelConversion>(output.main);
        }};
    songs::Song song = songOf(
        {chip(ChipType::sn76489, "SN76489", 3579545), chip(ChipType::ym2612, "YM2612", 7670453)});
    SongChips chips(song, destination, factory);
    EXPECT_EQ(chips.placementLine(), "SN76489 -> SSG on TEST(1) (converted; stereo dropped)");
    EXPECT_EQ(chips.dropped(), (std::vector<std::string>{"YM2612"}));
    chips.write({0, 0, 0, 0x92}); // attenuation 2: level 13
    EXPECT_EQ(destination.sinks[0].state[0x08], 13);
    chips.setAttenuation(6.0); // two 3 dB steps on the SSG that plays it
    EXPECT_EQ(destination.sinks[0].state[0x08], 11);
    chips.silence();
    EXPECT_EQ(destination.sinks[0].state[0x08], 0);
}

// The standard conversions: an SN76489 plays on an SSG, its Game Gear
// stereo named as lost when the song sets it; its tones reach the SSG's
// family at the SSG's clock.
TEST(SongChips, StandardConversionsPlayAnSn76489OnAnSsg) {
    RecordingDestination destination({{ChipType::ssg, 2000000}});
    songs::Song song = songOf({chip(ChipType::sn76489, "SN76489", 3579545)});
    song.writes.push_back({0, songs::sn76489StereoAddress, 0, 0x0F});
    SongChips chips(song, destination);
    EXPECT_EQ(chips.placementLine(),
              "SN76489 -> SSG on TEST(1) (converted; Game Gear stereo dropped)");
    chips.write({0, 0, 0, 0x8E}); // tone 0, period 0x0FE: 440 Hz
    chips.write({0, 0, 0, 0x0F});
    chips.write({0, 0, 0, 0x90}); // loudest
    auto& ssg = destination.sinks[0].state;
    EXPECT_EQ(ssg[0x00] | ssg[0x01] << 8, 284); // 2 MHz / (16 x 440 Hz)
    EXPECT_EQ(ssg[0x08], 15);

    RecordingDestination mono({{ChipType::ssg, 2000000}});
    songs::Song plain = songOf({chip(ChipType::sn76489, "SN76489", 3579545)});
    plain.writes.push_back({0, songs::sn76489StereoAddress, 0, 0xFF});
    EXPECT_EQ(SongChips(plain, mono).placementLine(), "SN76489 -> SSG on TEST(1) (converted)")
        << "every channel on both sides loses nothing";
}

// OPN chips play on a YM2151 (and an SSG for their SSG part) only when no
// board offers the chip itself; what cannot be played is named.
TEST(SongChips, StandardConversionsPlayOpnChipsOnAYm2151) {
    RecordingDestination destination(
        {{ChipType::ym2151, 4000000}, {ChipType::ssg, 2000000}, {ChipType::ym2203, 3993600}});
    songs::Song song = songOf(
        {chip(ChipType::ym2612, "YM2612", 7670453), chip(ChipType::ym2203, "YM2203", 3993600)});
    song.writes.push_back({0, 0x2B, 0, 0x80}); // the DAC on
    SongChips chips(song, destination);
    EXPECT_EQ(chips.placementLine(),
              "YM2612 -> YM2151 on TEST(1) (converted; DAC dropped), YM2203 on TEST(1)");
    chips.write({0, 0x28, 0, 0xF2}); // every operator of channel 2 on
    EXPECT_EQ(destination.sinks[0].state[0x08], 0x7A);
    chips.write({0, 0x28, 1, 0xF2});
    EXPECT_EQ(destination.sinks[2].state[0x28], 0xF2) << "the YM2203 plays on its own chip";

    RecordingDestination opm({{ChipType::ym2151, 4000000}, {ChipType::ssg, 2000000}});
    const songs::Song opna = songOf({chip(ChipType::ym2608, "YM2608", 7987200)});
    SongChips converted(opna, opm);
    EXPECT_EQ(converted.placementLine(), "YM2608 -> YM2151 on TEST(1) (converted), YM2608 SSG "
                                         "part -> SSG on TEST(1) (converted)");
    converted.write({0, 0x08, 0, 0x0F}); // the SSG part's channel A at its loudest
    EXPECT_EQ(opm.sinks[1].state[0x08], 0x0F);
}

} // namespace
