// The VGM reader: command lengths as the format documents them, waits, both
// dual-chip conventions, data blocks, header fields by version, loop
// arithmetic, GD3 decoding, files cut short at every byte, and gzip.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <random>

#include "VgmBuilder.h"
#include "vgm/VgmFile.h"

#include <zlib.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using vgm::VgmChip;
using vgm::VgmEvent;
using vgm::VgmFile;

std::vector<VgmEvent> eventsOf(const VgmFile& file, bool withOther = false) {
    std::vector<VgmEvent> events;
    vgm::CommandReader reader = file.commands();
    for (VgmEvent event = reader.next(); event.kind != VgmEvent::end; event = reader.next()) {
        EXPECT_NE(event.kind, VgmEvent::fault) << reader.error();
        if (event.kind == VgmEvent::fault) break;
        if (event.kind != VgmEvent::other || withOther) events.push_back(event);
    }
    return events;
}

VgmFile parsed(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    std::optional<VgmFile> file = VgmFile::parse(bytes, error);
    EXPECT_TRUE(file.has_value()) << error;
    if (!file) std::abort();
    return std::move(*file);
}

std::string refusal(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    EXPECT_FALSE(VgmFile::parse(bytes, error).has_value());
    return error;
}

TEST(VgmCommandLength, FollowsTheFormatsTable) {
    const std::map<int, std::size_t> documented = {
        {0x30, 2}, {0x3F, 2}, {0x40, 3}, {0x4E, 3}, {0x4F, 2}, {0x50, 2}, {0x51, 3},  {0x5F, 3},
        {0x61, 3}, {0x62, 1}, {0x63, 1}, {0x64, 4}, {0x66, 1}, {0x67, 7}, {0x68, 12}, {0x70, 1},
        {0x7F, 1}, {0x80, 1}, {0x8F, 1}, {0x90, 5}, {0x91, 5}, {0x92, 6}, {0x93, 11}, {0x94, 2},
        {0x95, 5}, {0xA0, 3}, {0xBF, 3}, {0xC0, 4}, {0xDF, 4}, {0xE0, 5}, {0xE1, 5},  {0xFF, 5},
        {0x00, 0}, {0x2F, 0}, {0x60, 0}, {0x65, 0}, {0x69, 0}, {0x6F, 0}, {0x96, 0},  {0x9F, 0}};
    for (const auto& [command, length] : documented)
        EXPECT_EQ(vgm::commandLength(static_cast<std::uint8_t>(command), 0x171), length)
            << std::hex << command;
    // 0x41-0x4E had one operand before 1.60.
    EXPECT_EQ(vgm::commandLength(0x41, 0x151), 2u);
    EXPECT_EQ(vgm::commandLength(0x4F, 0x151), 2u);
}

TEST(VgmCommandReader, SkipsEveryOtherCommandByItsLengthAndKeepsInStep) {
    for (int command = 0x30; command <= 0xFF; ++command) {
        const std::size_t length = vgm::commandLength(static_cast<std::uint8_t>(command), 0x171);
        if (length == 0 || command == 0x66 || command == 0x67) continue;
        VgmBuilder builder;
        // Operands of 0x4A: the writes below must still be read as writes.
        builder.bytes({static_cast<std::uint8_t>(command)});
        for (std::size_t i = 1; i < length; ++i)
            builder.bytes({0x4A});
        builder.write(0x54, 0x28, 0x3C);
        const VgmFile file = parsed(builder.build());
        const std::vector<VgmEvent> events = eventsOf(file);
        ASSERT_FALSE(events.empty()) << std::hex << command;
        const VgmEvent& last = events.back();
        EXPECT_EQ(last.kind, VgmEvent::write) << std::hex << command;
        EXPECT_EQ(last.chip, VgmChip::ym2151);
        EXPECT_EQ(last.address, 0x28);
        EXPECT_EQ(last.data, 0x3C);
    }
}

TEST(VgmCommandReader, WaitsAddUpAsDocumented) {
    const VgmFile file = parsed(VgmBuilder()
                                    .bytes({0x61, 0x34, 0x12, 0x62, 0x63, 0x70, 0x7F, 0x80, 0x8F})
                                    .bytes({0x67, 0x66, 0x00, 0x02, 0x00, 0x00, 0x80, 0xAA, 0xBB})
                                    .build());
    std::vector<std::uint32_t> waits;
    for (const VgmEvent& event : eventsOf(file))
        if (event.kind == VgmEvent::wait) waits.push_back(event.samples);
    // 0x80 writes the YM2612 DAC without waiting; the data block's size has
    // bit 31 set (second chip) and is skipped by its 2 bytes.
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{0x1234, 735, 882, 1, 16, 15}));
    EXPECT_EQ(file.streamSamples(), 0x1234u + 735 + 882 + 1 + 16 + 15);
    // One-byte commands right before the end of the file read nothing past it.
    EXPECT_EQ(parsed(VgmBuilder().bytes({0x80}).build()).streamSamples(), 0u);
    EXPECT_EQ(parsed(VgmBuilder().bytes({0x62}).build()).streamSamples(), 735u);
}

TEST(VgmCommandReader, TellsChipsApartByBothDualChipConventions) {
    const VgmFile file = parsed(VgmBuilder()
                                    .set32(0x30, 3579545 | 0x40000000)
                                    .set32(0x74, 1789773 | 0x40000000)
                                    .write(0x54, 0x20, 0x01)
                                    .write(0xA4, 0x21, 0x02)
                                    .write(0x51, 0x30, 0x03)
                                    .write(0xA1, 0x31, 0x04)
                                    .write(0x55, 0x28, 0x05)
                                    .write(0xA5, 0x29, 0x06)
                                    .write(0x56, 0x10, 0x07)
                                    .write(0x57, 0x10, 0x08)
                                    .write(0xA6, 0x11, 0x09)
                                    .write(0xA7, 0x12, 0x0A)
                                    .write(0xA0, 0x07, 0x0B)
                                    .write(0xA0, 0x88, 0x0C)
                                    .build());
    struct Expected {
        VgmChip chip;
        int index;
        int address;
    };
    const std::vector<Expected> expected = {
        {VgmChip::ym2151, 0, 0x20},  {VgmChip::ym2151, 1, 0x21},  {VgmChip::ym2413, 0, 0x30},
        {VgmChip::ym2413, 1, 0x31},  {VgmChip::ym2203, 0, 0x28},  {VgmChip::ym2203, 1, 0x29},
        {VgmChip::ym2608, 0, 0x10},  {VgmChip::ym2608, 0, 0x110}, {VgmChip::ym2608, 1, 0x11},
        {VgmChip::ym2608, 1, 0x112}, {VgmChip::ay8910, 0, 0x07},  {VgmChip::ay8910, 1, 0x08}};
    const std::vector<VgmEvent> events = eventsOf(file);
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].chip, expected[i].chip) << i;
        EXPECT_EQ(events[i].index, expected[i].index) << i;
        EXPECT_EQ(events[i].address, expected[i].address) << i;
        EXPECT_EQ(events[i].data, i + 1) << i;
        EXPECT_TRUE(file.writesTo(expected[i].chip, expected[i].index));
    }
    EXPECT_EQ(file.header().clock(VgmChip::ym2151).hz, 3579545u);
    EXPECT_TRUE(file.header().clock(VgmChip::ym2151).dual);
    EXPECT_EQ(file.header().clock(VgmChip::ay8910).hz, 1789773u);
    EXPECT_TRUE(file.header().clock(VgmChip::ay8910).dual);
}

TEST(VgmHeader, ReadsItsFieldsByVersion) {
    // 1.01: a 0x40-byte header; the YM2413 field clocks the YM2151 too.
    VgmFile old = parsed(VgmBuilder(0x101).set32(0x10, 3579545).write(0x54, 1, 2).build());
    EXPECT_EQ(old.header().dataStart, 0x40u);
    EXPECT_EQ(old.header().clock(VgmChip::ym2151).hz, 3579545u);
    EXPECT_EQ(old.header().clock(VgmChip::ym2413).hz, 3579545u);
    // 1.50: data offset, no AY clock field yet.
    VgmFile v150 = parsed(VgmBuilder(0x150).set32(0x30, 4000000).set32(0x74, 2000000).build());
    EXPECT_EQ(v150.header().dataStart, 0x100u);
    EXPECT_EQ(v150.header().clock(VgmChip::ym2151).hz, 4000000u);
    EXPECT_EQ(v150.header().clock(VgmChip::ay8910).hz, 0u);
    // 1.71 with the data right after 0x40: the later fields are data, not clocks.
    VgmBuilder shortHeader(0x171);
    shortHeader.set32(0x34, 0x0C).set32(0x30, 4000000);
    std::vector<std::uint8_t> bytes = shortHeader.build();
    bytes.erase(bytes.begin() + 0x40, bytes.begin() + 0x100);
    bytes[0x04] = static_cast<std::uint8_t>(bytes.size() - 4);
    bytes[0x05] = bytes[0x06] = bytes[0x07] = 0;
    VgmFile compact = parsed(bytes);
    EXPECT_EQ(compact.header().dataStart, 0x40u);
    EXPECT_EQ(compact.header().clock(VgmChip::ym2151).hz, 4000000u);
    EXPECT_EQ(compact.header().clock(VgmChip::ym2608).hz, 0u);
    // AY-3-8910 type and flags.
    VgmFile ay =
        parsed(VgmBuilder().set32(0x74, 2000000).set8(0x78, 0x10).set8(0x79, 0x10).build());
    EXPECT_EQ(ay.header().ay8910Type, 0x10);
    EXPECT_EQ(ay.header().ay8910Flags, 0x10);
}

TEST(VgmHeader, LoopOffsetIsRelativeAndItsSamplesComeFromTheStream) {
    const VgmFile file = parsed(VgmBuilder()
                                    .write(0x54, 0x20, 1)
                                    .wait(1000)
                                    .loopHere()
                                    .write(0x54, 0x21, 2)
                                    .wait(300)
                                    .bytes({0x7F})
                                    .build());
    // The loop's first command is the second write: 0x100 + 3 + 3.
    EXPECT_EQ(file.header().loopStart, 0x106u);
    EXPECT_TRUE(file.header().loops());
    EXPECT_EQ(file.header().loopSamples, 300u);
    EXPECT_EQ(file.streamSamples(), 1316u);
    EXPECT_EQ(file.streamLoopSamples(), 316u);

    // A loop offset inside a command, past the data, or before it: the music
    // is whole, so it plays once, without the loop, with one warning.
    std::vector<std::uint8_t> bytes = VgmBuilder().write(0x54, 1, 2).loopHere().wait(5).build();
    const auto withoutLoop = [&bytes](const std::string& warning) {
        const VgmFile played = parsed(bytes);
        EXPECT_FALSE(played.header().loops());
        EXPECT_EQ(played.header().loopStart, 0u);
        EXPECT_EQ(played.streamLoopSamples(), 0u);
        EXPECT_EQ(played.streamSamples(), 5u);
        EXPECT_EQ(played.warning(), warning);
    };
    EXPECT_EQ(parsed(bytes).warning(), "");
    bytes[0x1C] += 1;
    withoutLoop("loop offset 0x104 is not at a command; played without its loop");
    bytes[0x1C] = 0xF0;
    bytes[0x1D] = 0x10;
    withoutLoop("loop offset 0x110C lies outside the data; played without its loop");
    bytes[0x1C] = 0x04;
    bytes[0x1D] = 0x00;
    withoutLoop("loop offset 0x20 lies outside the data; played without its loop");
}

TEST(VgmHeader, RefusesWhatIsNoVgmFile) {
    EXPECT_EQ(refusal({}), "empty file");
    EXPECT_EQ(refusal({'V', 'g', 'm', ' '}), "too short for a VGM header");
    std::vector<std::uint8_t> bytes = VgmBuilder().build();
    bytes[0] = 'v';
    EXPECT_EQ(refusal(bytes), "not a VGM file (no \"Vgm \" at its start)");
    bytes = VgmBuilder().build();
    bytes[0x34] = 0xF0;
    EXPECT_EQ(refusal(bytes), "data offset 0x124 lies past the end of the file (257 bytes)");
    EXPECT_EQ(refusal(VgmBuilder().write(0x54, 1, 2).withoutEnd().build()),
              "the data ends without an end command");
    EXPECT_EQ(refusal(VgmBuilder().bytes({0x54, 1}).withoutEnd().build()),
              "command 0x54 at 0x100 runs past the end of the data");
    EXPECT_EQ(refusal(VgmBuilder().bytes({0x67, 0x66, 0, 0x10, 0, 0, 0}).build()),
              "data block at 0x100 runs past the end of the data");
    EXPECT_EQ(refusal(VgmBuilder().bytes({0x54, 1, 2, 0x2A}).build()),
              "unknown command 0x2A at 0x103");
}

// A scratch folder of its own, removed at the end.
class VgmLoad : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("vgm-load-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string loadFault(const std::filesystem::path& path) {
        std::string error;
        EXPECT_FALSE(VgmFile::load(path, error).has_value());
        return error;
    }
    std::filesystem::path folder_;
};

TEST_F(VgmLoad, NamesWhatIsNoFileToReadWithoutReadingOrBlocking) {
    EXPECT_EQ(loadFault(folder_ / "missing.vgm"), "no such file");
    EXPECT_EQ(loadFault(folder_), "is a directory");
#ifndef _WIN32
    std::filesystem::create_symlink(folder_ / "b.vgm", folder_ / "a.vgm");
    std::filesystem::create_symlink(folder_ / "a.vgm", folder_ / "b.vgm");
    EXPECT_EQ(loadFault(folder_ / "a.vgm"), "its symbolic links point at one another (a loop)");
    EXPECT_EQ(loadFault("/dev/zero"), "not a regular file");
    // A FIFO without a writer: the open must not wait for one.
    const std::filesystem::path fifo = folder_ / "fifo.vgm";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto fault = std::async(std::launch::async, [&] { return loadFault(fifo); });
    if (fault.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "loading a FIFO blocks";
        // Lets the blocked open go on, so that the test can end.
        std::ofstream unblock(fifo);
    }
    EXPECT_EQ(fault.get(), "not a regular file");
#endif
    // Refused by its size before anything is read (a sparse file).
    const std::filesystem::path large = folder_ / "large.vgm";
    std::ofstream(large).put('V');
    std::filesystem::resize_file(large, std::uintmax_t{300} << 20);
    EXPECT_EQ(loadFault(large), "too large to be a song file (over 256 MB)");
    // And a good file still loads.
    const std::vector<std::uint8_t> bytes = VgmBuilder().write(0x54, 1, 2).build();
    std::ofstream(folder_ / "good.vgm", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::string error;
    const std::optional<VgmFile> good = VgmFile::load(folder_ / "good.vgm", error);
    ASSERT_TRUE(good.has_value()) << error;
    EXPECT_EQ(eventsOf(*good).size(), 1u);
}

TEST(VgmHeader, NamesTheFaultOfABrokenHeader) {
    // A data offset into the header itself is not one past the file.
    EXPECT_EQ(refusal(VgmBuilder().set32(0x34, 0x04).write(0x54, 1, 2).build()),
              "data offset 0x38 lies inside the header");
    // An end-of-file field that ends before the data is its own fault.
    std::vector<std::uint8_t> bytes = VgmBuilder().write(0x54, 1, 2).build();
    bytes[0x04] = 0x10;
    bytes[0x05] = 0x00;
    EXPECT_EQ(refusal(bytes), "bad end-of-file field: it gives 20 bytes, which ends before the "
                              "data at 0x100");
    // Without an end command the commands stop at the tag: not "unknown
    // command 0x20" from the tag's "Gd3 ".
    EXPECT_EQ(refusal(VgmBuilder().write(0x54, 1, 2).withoutEnd().tag({u"t"}).build()),
              "the data ends without an end command");
    // A file cut inside its music says how much is missing and why.
    bytes = VgmBuilder().write(0x54, 1, 2).wait(10).build();
    bytes.resize(bytes.size() - 2);
    EXPECT_EQ(refusal(bytes), "truncated: the header gives 263 bytes, the file has 261 (command "
                              "0x61 at 0x103 runs past the end of the data)");
}

TEST(VgmHeader, PlaysAWholeSongWhoseHeaderOrTagIsOffWithOneWarning) {
    const std::vector<std::uint8_t> whole =
        VgmBuilder().write(0x54, 0x20, 1).wait(100).tag({u"Track", u"", u"Game"}).build();
    // The end-of-file field holding the file's size instead of the size - 4.
    std::vector<std::uint8_t> bytes = whole;
    bytes[0x04] = static_cast<std::uint8_t>(bytes.size());
    bytes[0x05] = static_cast<std::uint8_t>(bytes.size() >> 8);
    VgmFile file = parsed(bytes);
    EXPECT_EQ(file.warning(), "its end-of-file field is off by 4 (it gives the file's size)");
    EXPECT_EQ(file.streamSamples(), 100u);
    ASSERT_TRUE(file.tag().has_value());
    EXPECT_EQ(file.tag()->game, "Game");
    // A tag cut in its middle: the texts that are whole, and one warning.
    bytes = whole;
    bytes.resize(bytes.size() - 6);
    file = parsed(bytes);
    EXPECT_EQ(file.warning(), "cut short after its music: the header gives " +
                                  std::to_string(whole.size()) + " bytes, the file has " +
                                  std::to_string(bytes.size()) +
                                  "; its tag: cut short by the end of the file");
    EXPECT_EQ(file.streamSamples(), 100u);
    ASSERT_TRUE(file.tag().has_value());
    EXPECT_EQ(file.tag()->track, "Track");
    EXPECT_EQ(eventsOf(file).size(), 2u);
}

TEST(Gd3Tag, DecodesUtf16IntoUtf8WithEnglishBeforeJapanese) {
    const VgmFile file =
        parsed(VgmBuilder()
                   .write(0x54, 1, 2)
                   .tag({u"Opening", u"\u30AA\u30FC\u30D7\u30CB\u30F3\u30B0", u"",
                         u"\u30B2\u30FC\u30E0", u"X68000", u"", u"Someone \U0001F3B5", u"", u"1990",
                         u"ripper", std::u16string(u"bad \xD800 end")})
                   .build());
    ASSERT_TRUE(file.tag().has_value());
    const vgm::Gd3Tag& tag = *file.tag();
    EXPECT_EQ(tag.track, "Opening");
    EXPECT_EQ(tag.trackJapanese, "\xE3\x82\xAA\xE3\x83\xBC\xE3\x83\x97\xE3\x83\x8B\xE3\x83\xB3"
                                 "\xE3\x82\xB0");
    EXPECT_EQ(vgm::Gd3Tag::preferred(tag.game, tag.gameJapanese),
              "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0");
    EXPECT_EQ(vgm::Gd3Tag::preferred(tag.track, tag.trackJapanese), "Opening");
    EXPECT_EQ(tag.system, "X68000");
    EXPECT_EQ(tag.author, "Someone \xF0\x9F\x8E\xB5");
    EXPECT_EQ(tag.ripper, "ripper");
    EXPECT_EQ(tag.notes, "bad \xEF\xBF\xBD end");

    // A tag that is not one leaves the file playable, without a tag.
    std::vector<std::uint8_t> bytes = VgmBuilder().tag({u"a"}).build();
    bytes[bytes.size() - 16] = 'X';
    EXPECT_FALSE(parsed(bytes).tag().has_value());
    EXPECT_EQ(parsed(bytes).warning(), "its tag: no GD3 tag where the header points");
}

TEST(VgmFileCut, RefusesEveryCutIntoTheMusicAndPlaysEveryPrefixThatHoldsTheEnd) {
    const std::vector<std::uint8_t> whole = VgmBuilder()
                                                .write(0x54, 0x20, 1)
                                                .wait(100)
                                                .bytes({0x67, 0x66, 0, 4, 0, 0, 0, 1, 2, 3, 4})
                                                .loopHere()
                                                .write(0xA0, 0x87, 3)
                                                .wait(70000)
                                                .tag({u"t", u"", u"g"})
                                                .build();
    const std::size_t endCommand = 0x100 + 3 + 3 + 11 + 3 + 6;
    ASSERT_EQ(whole[endCommand], 0x66);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + size);
        std::string error;
        // Cut after the end command: the music plays, with a warning.
        const std::optional<VgmFile> file = VgmFile::parse(cut, error);
        EXPECT_EQ(file.has_value(), size > endCommand) << size;
        if (file) {
            EXPECT_FALSE(file->warning().empty()) << size;
        }
        EXPECT_EQ(error.empty(), size > endCommand) << size;
        // Without the end offset in the header, the reader relies on the data.
        if (size >= 0x40) {
            cut[4] = cut[5] = cut[6] = cut[7] = 0;
            const bool holdsTheEnd = size > endCommand;
            const bool loopInside = size > 0x100 + 3 + 3 + 11;
            EXPECT_EQ(VgmFile::parse(cut, error).has_value(), holdsTheEnd && loopInside)
                << size << " " << error;
        }
    }
    std::string error;
    EXPECT_TRUE(VgmFile::parse(whole, error).has_value()) << error;
}

std::vector<std::uint8_t> gzipped(const std::vector<std::uint8_t>& bytes) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64);
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST(VgmGzip, UnpacksVgzFilesAndReportsBrokenStreams) {
    const std::vector<std::uint8_t> plain =
        VgmBuilder().write(0x54, 0x20, 7).wait(441).write(0x54, 0x21, 8).build();
    const std::vector<std::uint8_t> packed = gzipped(plain);
    const VgmFile file = parsed(packed);
    EXPECT_EQ(std::vector<std::uint8_t>(file.bytes().begin(), file.bytes().end()), plain);
    EXPECT_EQ(eventsOf(file).size(), 3u);

    std::vector<std::uint8_t> cut(packed.begin(), packed.begin() + packed.size() / 2);
    EXPECT_EQ(refusal(cut), "bad gzip stream: truncated");
    std::vector<std::uint8_t> corrupt = packed;
    corrupt[12] ^= 0xFF;
    corrupt[13] ^= 0x55;
    EXPECT_EQ(refusal(corrupt).rfind("bad gzip stream", 0), 0u);
    std::vector<std::uint8_t> badCheck = packed;
    badCheck[badCheck.size() - 6] ^= 0x01; // the CRC of the unpacked data
    EXPECT_EQ(refusal(badCheck), "bad gzip stream: incorrect data check");
    // A gzip stream of something that is not a VGM file.
    EXPECT_EQ(refusal(gzipped({'h', 'e', 'l', 'l', 'o'})), "too short for a VGM header");
}

TEST(VgmGzip, KeepsMemoryNearTheLimitWhenTheDataUnpacksBeyondIt) {
    const std::vector<std::uint8_t> packed = gzipped(std::vector<std::uint8_t>(300000, 0x61));
    constexpr std::size_t limit = 100000;
    std::vector<std::uint8_t> out;
    std::string error;
    EXPECT_FALSE(vgm::gunzip(packed, out, error, limit));
    EXPECT_EQ(error, "compressed data unpacks to more than a VGM file can be");
    // Not grown by doubling past the limit before the limit was checked.
    EXPECT_LE(out.capacity(), limit);
}

} // namespace
