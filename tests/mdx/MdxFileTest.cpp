// The MDX reader, the PDX bank, the song loader and the ADPCM decoder, from
// the format and the decoder's documented algorithm: titles in Shift_JIS,
// 9- and 16-track songs, voices, corrupt files cut at every length, banks
// found whatever the case of their names, and decoded samples computed by
// hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "MdxBuilder.h"
#include "mdx/MdxDriver.h"
#include "mdx/MdxSong.h"
#include "mdx/OkiAdpcm.h"

namespace {

using mdxtest::Song;

std::optional<mdx::MdxFile> parse(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    return mdx::MdxFile::parse(bytes, error);
}

TEST(MdxFile, ReadsTitleBankNameTracksAndVoices) {
    Song s;
    // "テスト" in Shift_JIS, then ASCII.
    s.title = "\x83\x65\x83\x58\x83\x67 song";
    s.pdxName = "drums";
    s.voices.push_back(mdxtest::testVoice(7, 0x3A));
    s.tracks[2].note(10, 2).end();
    auto file = parse(s.build());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->title(), s.title);
    EXPECT_EQ(file->pdxName(), "drums");
    EXPECT_EQ(file->trackCount(), mdx::MdxFile::shortTrackCount);
    auto voice = file->voice(7);
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->feedbackConnection, 0x3A);
    EXPECT_EQ(voice->slotMask, 0x0F);
    mdxtest::Voice raw = mdxtest::testVoice(7, 0x3A);
    for (std::size_t g = 0; g < mdx::MdxVoice::groupCount; ++g)
        for (std::size_t o = 0; o < mdx::MdxVoice::operatorCount; ++o)
            EXPECT_EQ(voice->groups[g][o], raw[3 + g * 4 + o]) << g << " " << o;
    EXPECT_FALSE(file->voice(8));
    std::size_t trackC = file->trackOffsets()[2];
    EXPECT_EQ(file->body()[trackC], 0x80 + 10);

    s.tracks.resize(mdx::MdxFile::longTrackCount);
    auto longSong = parse(s.build());
    ASSERT_TRUE(longSong);
    EXPECT_EQ(longSong->trackCount(), mdx::MdxFile::longTrackCount);
}

TEST(MdxFile, CorruptFilesGiveAMessageAndNeverReadOutside) {
    Song s;
    s.voices.push_back(mdxtest::testVoice(1));
    s.tracks[0].voice(1).note(30, 4).repeatStart(2).note(31, 1).word(0xF5, -6).end();
    std::vector<std::uint8_t> whole = s.build();
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<std::uint8_t> part(whole.begin(),
                                       whole.begin() + static_cast<std::ptrdiff_t>(cut));
        std::string error;
        auto file = mdx::MdxFile::parse(part, error);
        if (!file) {
            EXPECT_FALSE(error.empty()) << cut;
            continue;
        }
        // What parses must play without running past its bytes or hanging.
        mdx::MdxDriver driver(*file);
        std::vector<mdx::Ym2151Write> writes;
        for (int t = 0; t < 100 && !driver.ended(); ++t)
            driver.tick(writes);
    }
    EXPECT_FALSE(parse({'x', 'y'}));
    // A track whose offset lies past the end.
    std::vector<std::uint8_t> bad = whole;
    std::size_t base = 4 + 3 + 1;
    bad[base + 2] = 0x7F;
    EXPECT_FALSE(parse(bad));
}

TEST(MdxFile, JumpsOutsideTheProgramEndTheTrack) {
    Song s;
    s.voices.push_back(mdxtest::testVoice(1));
    // A loop back before the start of the body, a repeat end jumping far
    // ahead, and an endless loop of commands without a note.
    s.tracks[0].note(30, 2).word(0xF1, -0x7000);
    s.tracks[1].note(30, 2).word(0xF5, 0x7000).note(31, 2);
    s.tracks[2].voice(1).word(0xF1, -5);
    auto file = parse(s.build());
    ASSERT_TRUE(file);
    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    for (int t = 0; t < 10 && !driver.ended(); ++t)
        driver.tick(writes);
    EXPECT_TRUE(driver.ended());
}

TEST(MdxFile, RepeatEscapesLeadingOutsideTheBodyArePassedOver) {
    // Escapes whose repeat end would lie one and two bytes before the body,
    // then one far past its end: the track plays on to its second note.
    Song s;
    const int firstTrack = static_cast<int>(2 + 2 * s.tracks.size());
    const int firstEscapeEnd = firstTrack + 2 + 3;
    s.tracks[0].note(30, 2).word(0xF4, -firstEscapeEnd - 2).word(0xF4, -firstEscapeEnd - 4);
    s.tracks[0].word(0xF4, 0x7000).note(31, 2).end();
    auto file = parse(s.build());
    ASSERT_TRUE(file);
    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    driver.start(writes);
    driver.tick(writes);
    ASSERT_TRUE(driver.keyOn(0));
    bool secondNote = false;
    for (int t = 0; t < 10 && !driver.ended(); ++t) {
        driver.tick(writes);
        secondNote = secondNote || driver.keyOn(0);
    }
    EXPECT_TRUE(secondNote);
    EXPECT_TRUE(driver.ended());
}

TEST(MdxDriver, TicksLastTimerBPeriodsAndLoopsAreCounted) {
    Song s;
    s.voices.push_back(mdxtest::testVoice(1));
    std::size_t top = 0;
    s.tracks[0].tempo(0xC8);
    top = s.tracks[0].mark();
    s.tracks[0].voice(1).note(30, 3).loopTo(top);
    s.tracks[1].note(40, 5).end();
    auto file = parse(s.build());
    ASSERT_TRUE(file);
    mdx::MdxDriver driver(*file);
    EXPECT_DOUBLE_EQ(driver.tickSeconds(), 1024.0 * (256 - mdx::MdxDriver::defaultTimerB) / 4e6);
    std::vector<mdx::Ym2151Write> writes;
    driver.start(writes);
    driver.tick(writes);
    EXPECT_EQ(driver.timerB(), 0xC8u);
    EXPECT_DOUBLE_EQ(driver.tickSeconds(), 1024.0 * 56 / 4e6);
    EXPECT_TRUE(driver.keyOn(0));
    EXPECT_TRUE(driver.keyOn(1));
    // The loop jumps when the note ends, every three ticks.
    for (int t = 1; t < 9; ++t)
        driver.tick(writes);
    EXPECT_EQ(driver.loops(), 2u);
    EXPECT_FALSE(driver.keyOn(1));
    EXPECT_FALSE(driver.ended());
}

TEST(MdxDriver, AdpcmTracksGiveSampleNotes) {
    Song s;
    s.tracks.resize(mdx::MdxFile::longTrackCount);
    s.tracks[8].noise(3).pan(1).volume(9).note(5, 2).note(6, 1).end();
    s.tracks[10].note(70, 1).end();
    auto file = parse(s.build());
    ASSERT_TRUE(file);
    mdx::MdxDriver driver(*file);
    std::vector<mdx::Ym2151Write> writes;
    std::vector<mdx::AdpcmNote> notes;
    driver.tick(writes, &notes);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].track, 0u);
    EXPECT_EQ(notes[0].sample, 5u);
    EXPECT_EQ(notes[0].rate, 3u);
    EXPECT_EQ(notes[0].pan, 1u);
    EXPECT_EQ(notes[0].volume, 9u);
    EXPECT_EQ(notes[1].track, 2u);
    EXPECT_EQ(notes[1].sample, 70u);
    driver.tick(writes, &notes);
    driver.tick(writes, &notes);
    // Each key-off stops its track's sample: track 2's after one tick,
    // track 0's before its next note.
    ASSERT_EQ(notes.size(), 5u);
    EXPECT_TRUE(notes[2].stop);
    EXPECT_EQ(notes[2].track, 2u);
    EXPECT_TRUE(notes[3].stop);
    EXPECT_EQ(notes[3].track, 0u);
    EXPECT_FALSE(notes[4].stop);
    EXPECT_EQ(notes[4].sample, 6u);
    // The sample tracks key nothing on the YM2151.
    for (const mdx::Ym2151Write& w : writes)
        EXPECT_NE(w.address, 0x08);
}

std::vector<std::uint8_t> bankBytes() {
    std::vector<std::uint8_t> bank(mdx::PdxBank::entryCount * mdx::PdxBank::entrySize, 0);
    auto putLong = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bank[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    std::uint32_t data = static_cast<std::uint32_t>(bank.size());
    putLong(0, data);
    putLong(4, 3);
    putLong(3 * 8, data + 3);
    putLong(3 * 8 + 4, 2);
    putLong(4 * 8, data + 4);
    putLong(4 * 8 + 4, 100); // past the end: dropped
    bank.insert(bank.end(), {0x11, 0x22, 0x33, 0x44, 0x55});
    return bank;
}

TEST(PdxBank, SamplesAreFoundAndBadEntriesDropped) {
    mdx::PdxBank bank;
    std::string error;
    ASSERT_TRUE(bank.parse(bankBytes(), error));
    EXPECT_EQ(bank.sampleCount(), mdx::PdxBank::entryCount);
    auto first = bank.sample(0);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0], 0x11);
    auto fourth = bank.sample(3);
    ASSERT_EQ(fourth.size(), 2u);
    EXPECT_EQ(fourth[1], 0x55);
    EXPECT_TRUE(bank.sample(4).empty());
    EXPECT_TRUE(bank.sample(1).empty());
    EXPECT_TRUE(bank.sample(500).empty());
    EXPECT_FALSE(bank.parse({1, 2, 3}, error));
    EXPECT_FALSE(error.empty());
}

TEST(MdxSong, TheBankIsFoundBesideTheSongWhateverItsCase) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("mdx_song_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    auto save = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    };
    Song s;
    s.pdxName = "KICKS";
    save("song.mdx", s.build());
    save("kicks.pdx", bankBytes());
    std::string error;
    auto song = mdx::loadMdxSong(dir / "song.mdx", error);
    ASSERT_TRUE(song) << error;
    EXPECT_TRUE(song->hasBank) << song->bankMessage;
    EXPECT_EQ(song->bank.sample(0).size(), 3u);

    s.pdxName = "missing.pdx";
    save("other.mdx", s.build());
    song = mdx::loadMdxSong(dir / "other.mdx", error);
    ASSERT_TRUE(song);
    EXPECT_FALSE(song->hasBank);
    EXPECT_NE(song->bankMessage.find("missing.pdx"), std::string::npos);

    EXPECT_FALSE(mdx::loadMdxSong(dir / "absent.mdx", error));
    EXPECT_NE(error.find("absent.mdx: no such file"), std::string::npos) << error;
    // A bank far larger than any real one is refused by its size, unread (a
    // sparse file).
    s.pdxName = "huge.pdx";
    save("huge.mdx", s.build());
    save("huge.pdx", bankBytes());
    std::filesystem::resize_file(dir / "huge.pdx", 64u << 20);
    song = mdx::loadMdxSong(dir / "huge.mdx", error);
    ASSERT_TRUE(song);
    EXPECT_FALSE(song->hasBank);
    EXPECT_NE(song->bankMessage.find("huge.pdx: too large"), std::string::npos)
        << song->bankMessage;
    std::filesystem::remove_all(dir);
}

TEST(OkiAdpcm, StepTableAndDecodedSamplesAsComputedByHand) {
    // The documented table's first, middle and last steps.
    EXPECT_EQ(mdx::OkiAdpcm::steps[0], 16);
    EXPECT_EQ(mdx::OkiAdpcm::steps[1], 17);
    EXPECT_EQ(mdx::OkiAdpcm::steps[10], 41);
    EXPECT_EQ(mdx::OkiAdpcm::steps[24], 157);
    EXPECT_EQ(mdx::OkiAdpcm::steps[37], 544);
    EXPECT_EQ(mdx::OkiAdpcm::steps[47], 1411);
    EXPECT_EQ(mdx::OkiAdpcm::steps[48], 1552);
    mdx::OkiAdpcm decoder;
    // 7: +15 x 16 / 8 = 30, step index 8 (34); 7: +15 x 34 / 8 = 63 -> 93,
    // index 16 (73); 0xF: -15 x 73 / 8 = -136 -> -43, index 24 (157);
    // 0: +157 / 8 = 19 -> -24, index 23 (143); 0xB: -7 x 143 / 8 = -125 ->
    // -149, index 22.
    EXPECT_EQ(decoder.decode(0x7), 30);
    EXPECT_EQ(decoder.decode(0x7), 93);
    EXPECT_EQ(decoder.decode(0xF), -43);
    EXPECT_EQ(decoder.decode(0x0), -24);
    EXPECT_EQ(decoder.decode(0xB), -149);
    // Low nibble first, and the output held within 12 bits.
    decoder.reset();
    std::vector<std::int16_t> out;
    std::vector<std::uint8_t> loud(64, 0x77);
    decoder.decode(loud, out);
    ASSERT_EQ(out.size(), 128u);
    EXPECT_EQ(out[0], 30);
    EXPECT_EQ(out[1], 93);
    EXPECT_EQ(out.back(), mdx::OkiAdpcm::sampleMaximum);
}

} // namespace
