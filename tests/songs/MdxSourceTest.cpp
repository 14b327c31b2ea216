// The MDX song source: our driver's writes on the song's sample clock, each
// tick as long as timer B's period at the song's tempo on a 4 MHz YM2151,
// the loop found where every looping track has jumped back, and MDX picked
// by parseSong when the bytes are no VGM.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "../mdx/MdxBuilder.h"
#include "mdx/MdxFile.h"
#include "songs/MdxSource.h"

namespace {

using mdxtest::Song;

constexpr std::uint8_t keyOn = 0x08;
constexpr double chipClock = 4e6;

// The sample time of the start of tick k at a steady timer B value.
std::uint64_t tickTime(std::uint64_t k, unsigned timerB) {
    return k * 1024 * (256 - timerB) * songs::sampleRate / static_cast<std::uint64_t>(chipClock);
}

std::vector<songs::SongWrite> keyOns(const songs::Song& song) {
    std::vector<songs::SongWrite> out;
    for (const songs::SongWrite& w : song.writes)
        if (w.address == keyOn && (w.data & 0x78) != 0) out.push_back(w);
    return out;
}

TEST(MdxSource, WritesAreTimedByTheTempoAndTheSongEnds) {
    Song s;
    s.title = "\x83\x65\x83\x58\x83\x67";
    s.voices.push_back(mdxtest::testVoice(1));
    s.tracks[0]
        .tempo(200)
        .voice(1)
        .note(30, 10)
        .note(31, 7)
        .tempo(100)
        .note(32, 5)
        .note(33, 3)
        .end();
    std::string error;
    std::optional<songs::Song> song = songs::parseSong(s.build(), error);
    ASSERT_TRUE(song) << error;
    EXPECT_EQ(song->format, "MDX");
    ASSERT_EQ(song->chips.size(), 2u);
    EXPECT_EQ(song->chips[1].type, songs::ChipType::other);
    EXPECT_FALSE(song->writesTo(1));
    EXPECT_EQ(song->chips[0].type, songs::ChipType::ym2151);
    EXPECT_EQ(song->chips[0].clock, 4000000u);
#ifdef TONRIG_HAVE_ICONV
    ASSERT_FALSE(song->tags.empty());
    EXPECT_EQ(song->tags[0].value, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
#endif
    auto ons = keyOns(*song);
    ASSERT_EQ(ons.size(), 4u);
    EXPECT_EQ(ons[0].time, 0u);
    EXPECT_EQ(ons[1].time, tickTime(10, 200));
    // The tempo changes in the tick of the third note: that tick still lasts
    // as at the old tempo, the following ones as at the new.
    EXPECT_EQ(ons[2].time, tickTime(17, 200));
    std::uint64_t scaled =
        17ull * 1024 * 56 * songs::sampleRate + 5ull * 1024 * 156 * songs::sampleRate;
    EXPECT_EQ(ons[3].time, scaled / 4000000);
    EXPECT_FALSE(song->loop);
    // The song ends in the tick of its last note's end.
    EXPECT_EQ(song->length, (scaled + 3ull * 1024 * 156 * songs::sampleRate) / 4000000);
    for (std::size_t i = 1; i < song->writes.size(); ++i)
        ASSERT_LE(song->writes[i - 1].time, song->writes[i].time);
}

TEST(MdxSource, TheLoopRunsFromTheFirstJumpBackToTheSecond) {
    Song s;
    s.voices.push_back(mdxtest::testVoice(1));
    s.tracks[0].tempo(200).voice(1).note(20, 4);
    std::size_t top = s.tracks[0].mark();
    s.tracks[0].note(30, 6).note(31, 6).loopTo(top);
    s.tracks[1].voice(1).note(40, 20).end();
    std::string error;
    std::optional<songs::Song> song = songs::parseSong(s.build(), error);
    ASSERT_TRUE(song) << error;
    ASSERT_TRUE(song->loop);
    // Intro 4 ticks, then 12-tick passes: jumps back at ticks 16 and 28.
    EXPECT_EQ(song->loop->time, tickTime(16, 200));
    EXPECT_EQ(song->length, tickTime(28, 200));
    auto ons = keyOns(*song);
    ASSERT_GE(ons.size(), 5u);
    // The loop starts with the key-on of its first note.
    EXPECT_EQ(song->writes[song->loop->write].time, tickTime(16, 200));
    EXPECT_EQ(song->writes.back().time < song->length, true);
}

TEST(MdxSource, AdpcmNotesAreWritesToTheDroppedChip) {
    Song s;
    s.tracks[8].note(5, 3).rest(2).note(7, 1).end();
    std::string error;
    std::optional<songs::Song> song = songs::parseSong(s.build(), error);
    ASSERT_TRUE(song) << error;
    std::vector<songs::SongWrite> notes;
    for (const songs::SongWrite& w : song->writes)
        if (w.chip == 1 && w.address < songs::panAddress) notes.push_back(w);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].time, 0u);
    EXPECT_EQ(notes[0].data, 5);
    EXPECT_EQ(notes[0].address, 0);
    EXPECT_EQ(notes[1].time, tickTime(5, 200));
    EXPECT_EQ(notes[1].data, 7);
}

TEST(MdxSource, TheBankBesideTheSongGivesTheSamplesAtTheTracksRates) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("mdx_source_test_" + std::to_string(testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    // A bank of two samples: 3 bytes (6 nibbles) and 1 byte.
    std::vector<std::uint8_t> bank(96 * 8, 0);
    const std::uint32_t data = static_cast<std::uint32_t>(bank.size());
    auto putLong = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bank[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    putLong(0, data);
    putLong(4, 3);
    putLong(8, data + 3);
    putLong(12, 1);
    bank.insert(bank.end(), {0x77, 0x77, 0x07, 0x70});
    std::ofstream(dir / "Kit.pdx", std::ios::binary)
        .write(reinterpret_cast<const char*>(bank.data()),
               static_cast<std::streamsize>(bank.size()));
    Song s;
    s.pdxName = "KIT";
    s.tracks[8].pan(1).note(0, 2).noise(2).note(0, 2).note(1, 2).note(9, 2).end();
    const std::vector<std::uint8_t> bytes = s.build();
    std::ofstream(dir / "song.mdx", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::string error;
    std::optional<songs::Song> song = songs::loadSong(dir / "song.mdx", error);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(song) << error;
    ASSERT_EQ(song->chips.size(), 2u);
    EXPECT_EQ(song->chips[1].type, songs::ChipType::msm6258);
    EXPECT_TRUE(song->warning.empty()) << song->warning;
    // Sample 0 at the default rate, again at rate 2, sample 1; sample 9 is
    // not in the bank and is left out.
    ASSERT_EQ(song->pcm.size(), 3u);
    EXPECT_EQ(song->pcm[0].rate, 15625u);
    EXPECT_EQ(song->pcm[1].rate, 7813u);
    ASSERT_EQ(song->pcm[0].samples.size(), 6u);
    EXPECT_EQ(song->pcm[0].samples[0], 30);
    EXPECT_EQ(song->pcm[0].samples[1], 93);
    EXPECT_EQ(song->pcm[2].samples.size(), 2u);
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    for (const songs::SongWrite& w : song->writes)
        if (w.chip == 1) writes.emplace_back(w.address, w.data);
    // The sample ends with each note's key-off (stop) before the next starts.
    const std::uint16_t stop = songs::stopAddress;
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> expected = {
        {songs::panAddress, 1}, {0, 0}, {stop, 0}, {0, 1}, {stop, 0}, {0, 2}, {stop, 0}, {stop, 0}};
    EXPECT_EQ(writes, expected);
}

TEST(MdxSource, SixteenTrackSongsGiveTheTracksGains) {
    Song s;
    s.tracks.resize(16);
    s.tracks[9].volume(15).note(1, 2).note(1, 2).volume(0x80 + 20).note(2, 2).end();
    s.tracks[8].note(3, 2).end();
    std::string error;
    std::optional<songs::Song> song = songs::parseSong(s.build(), error);
    ASSERT_TRUE(song) << error;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> gains;
    for (const songs::SongWrite& w : song->writes)
        if (w.chip == 1 && w.address >= songs::gainAddress) gains.emplace_back(w.address, w.data);
    // Track P at the default volume 8 (16 sixteenths), track Q at 15 and then
    // at 0x80 + 20, each written once before its note.
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> expected = {
        {songs::gainAddress, 16}, {songs::gainAddress + 1, 80}, {songs::gainAddress + 1, 16}};
    EXPECT_EQ(gains, expected);
}

// The song's fade-out (a step every two ticks from the first): a sample
// started under it takes the fade's level then; without PCM8 it starts at
// full level up to the limit and not after it.
TEST(MdxSource, SamplesStartedUnderTheFadeTakeItsLevelAsTheyStart) {
    auto samples = [](bool pcm8) {
        Song s;
        if (pcm8) s.tracks.resize(16);
        s.tracks[0].fade(0).rest(100).end();
        // Notes at ticks 0, 8, 16, 24, 32: the fade's levels 0, 4, 8, 12, 16.
        mdxtest::Track& t = s.tracks[pcm8 ? 9 : 8];
        for (int note = 0; note < 5; ++note)
            t.note(note, 8);
        t.end();
        std::string error;
        std::optional<songs::Song> song = songs::parseSong(s.build(), error);
        EXPECT_TRUE(song) << error;
        std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
        if (song)
            for (const songs::SongWrite& w : song->writes)
                if (w.chip == 1 && w.address != songs::stopAddress + (pcm8 ? 1 : 0) &&
                    w.address != songs::panAddress + (pcm8 ? 1 : 0))
                    writes.emplace_back(w.address, w.data);
        return writes;
    };
    // Volume 8: attenuation 21, then 25, 29, 33, 37 with the fade.
    const std::uint16_t q = 1;
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> pcm8 = {
        {songs::gainAddress + q, 16}, {q, 0}, {songs::gainAddress + q, 10}, {q, 1},
        {songs::gainAddress + q, 8},  {q, 2}, {songs::gainAddress + q, 5},  {q, 3},
        {songs::gainAddress + q, 4},  {q, 4}};
    EXPECT_EQ(samples(true), pcm8);
    // The fade's level 12 and 16 are past the limit (10).
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> adpcm = {{0, 0}, {0, 1}, {0, 2}};
    EXPECT_EQ(samples(false), adpcm);
}

// The "Not played" tag: each part of the format our driver meets and does
// not play, once each; none for a song it plays whole.
TEST(MdxSource, WhatIsNotPlayedIsSaidInATag) {
    auto notPlayed = [](const Song& s) {
        std::string error;
        std::optional<songs::Song> song = songs::parseSong(s.build(), error);
        EXPECT_TRUE(song) << error;
        std::string text;
        if (song)
            for (const songs::SongTag& tag : song->tags)
                if (tag.name == "Not played") text = tag.value;
        return text;
    };
    Song plain;
    plain.voices.push_back(mdxtest::testVoice(1));
    plain.tracks[0].voice(1).pitchLfo(0, 4, 900).volumeLfo(0, 4, 700).note(30, 4).fade(10).end();
    EXPECT_EQ(notPlayed(plain), "");

    Song s;
    s.voices.push_back(mdxtest::testVoice(1));
    s.tracks[0].voice(1).volumeLfo(1, 4, 1000).note(30, 4).volumeLfo(2, 3, -200).note(31, 2).end();
    s.tracks[1].voice(1).note(40, 2).raw({0xE7, 0x05, 0x10}).raw({0xE3, 0x01}).note(41, 2).end();
    s.tracks[2].raw({0xE7, 0x05, 0x11}).raw({0xE3}).end();
    EXPECT_EQ(notPlayed(s), "command 0xE3 (its track stops there), command 0xE7 0x05");
}

TEST(MdxSource, VgmBytesAreNotTakenForMdx) {
    std::vector<std::uint8_t> vgmLike = {'V', 'g', 'm', ' ', 0x0D, 0x0A, 0x1A, 0, 0, 0x14, 0, 0x14};
    vgmLike.resize(64);
    EXPECT_TRUE(songs::isMdx(vgmLike));
    std::string error;
    auto song = songs::parseSong(vgmLike, error);
    EXPECT_TRUE(!song || song->format != "MDX");
    EXPECT_TRUE(songs::isSongFileName("SONG.MDX"));
}

TEST(MdxSource, AFileOfNoFormatIsNamedSoAndABrokenMdxByTheMdxReader) {
    const std::vector<std::uint8_t> noise(200, 0xFF);
    std::string error;
    EXPECT_FALSE(songs::parseSong(noise, error));
    EXPECT_EQ(error, "not a song file (neither a VGM nor an S98 header, nor an MDX song)");

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("mdx_fault_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "broken.MDX", std::ios::binary)
        .write(reinterpret_cast<const char*>(noise.data()),
               static_cast<std::streamsize>(noise.size()));
    std::string mdxError;
    EXPECT_FALSE(songs::loadSong(dir / "broken.MDX", mdxError));
    std::string readerError;
    EXPECT_FALSE(mdx::MdxFile::parse(noise, readerError));
    EXPECT_EQ(mdxError, readerError);
    EXPECT_FALSE(mdxError.empty());
    std::filesystem::remove_all(dir);
}

} // namespace
