// The virtual board module through the device seam: the devices it reports,
// busy devices, the event log with its timing, the VGM file written at close
// and at process exit, and the board model and pin-mask settings.
#include "RecordedVgm.h"
#include "VirtualBoardFixture.h"

#include <cstdlib>

namespace {

TEST_F(VirtualBoardTest, ReportsItsPortsAndRefusesBusyOrHeldDevices) {
    setting("TAVRO_VB_PORTS", "3, 7,9,x,-4");
    setting("TAVRO_VB_BUSY", "7");
    EXPECT_EQ(listCount(), 3u);

    FT_HANDLE first = nullptr, busy = &first, last = nullptr, again = &first;
    std::int32_t port = 0;
    ASSERT_EQ(d2xx().open(0, &first), ftOk);
    EXPECT_EQ(d2xx().getComPortNumber(first, &port), ftOk);
    EXPECT_EQ(port, 3);
    EXPECT_NE(d2xx().open(1, &busy), ftOk);
    EXPECT_EQ(busy, nullptr);
    ASSERT_EQ(d2xx().open(2, &last), ftOk);
    EXPECT_EQ(d2xx().getComPortNumber(last, &port), ftOk);
    EXPECT_EQ(port, 9);
    EXPECT_NE(d2xx().open(0, &again), ftOk) << "a device is held while open";
    EXPECT_EQ(d2xx().open(3, &again), ftDeviceNotFound);

    EXPECT_EQ(d2xx().close(first), ftOk);
    EXPECT_NE(d2xx().close(first), ftOk);
    EXPECT_NE(d2xx().getComPortNumber(first, &port), ftOk);
    EXPECT_EQ(d2xx().close(last), ftOk);

    const auto events = parsed(logLines());
    std::vector<std::string> names;
    ASSERT_FALSE(events.empty());
    // The log's first line sets its time 0 on the host's monotonic clock.
    EXPECT_EQ(events.front().event.rfind("clock steady-ms=", 0), 0u) << events.front().event;
    EXPECT_EQ(events.front().ms, 0.0);
    for (std::size_t i = 1; i < events.size(); ++i)
        names.push_back(events[i].event);
    EXPECT_EQ(names, (std::vector<std::string>{"open port=3 index=0", "busy port=7 index=1",
                                               "open port=9 index=2", "busy port=3 index=0",
                                               "close port=3", "close port=9"}));

    // A blank list: Windows cannot hold an empty variable, setting one to
    // nothing removes it.
    setting("TAVRO_VB_PORTS", " ");
    EXPECT_EQ(listCount(), 0u);
}

TEST_F(VirtualBoardTest, LogsAndRecordsAKx7mSessionWithWireTiming) {
    setting("TAVRO_VB_PORTS", "5");
    listCount();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(d2xx().open(0, &handle), ftOk);
    TestWire wire;
    wire.registerWrite(1, 0x20, 0x99);
    ASSERT_EQ(send(handle, wire), ftOk); // not in bit-bang mode yet: dropped
    d2xx().close(handle);

    // 100 bytes per second: one pin byte per 10 ms, so that every call
    // queues behind the bytes of the one before.
    handle = openForPlaying(0, 100);
    wire.pins = 0xFF;
    wire.frame(wire::resetAssertWord);
    ASSERT_EQ(send(handle, wire), ftOk);
    wire.frame(wire::resetReleaseWord);
    ASSERT_EQ(send(handle, wire), ftOk);
    wire.registerWrite(0, 0x07, 0x38);
    wire.registerWrite(1, 0x28, 0x4A);
    wire.registerWrite(2, 0x08, 0x01);
    wire.registerWrite(1, 0x108, 0x12);
    ASSERT_EQ(send(handle, wire), ftOk);
    EXPECT_FALSE(std::filesystem::exists(vgmPath())) << "the VGM file is written at close";
    ASSERT_EQ(d2xx().close(handle), ftOk);

    const auto lines = parsed(logLines());
    ASSERT_FALSE(lines.empty());
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_GE(lines[i].ms, lines[i - 1].ms);
    ASSERT_EQ(withPrefix(lines, "ignored").size(), 1u);
    EXPECT_EQ(withPrefix(lines, "ignored")[0].event, "ignored port=5 bytes=108");
    EXPECT_EQ(withPrefix(lines, "bitmode port=5 mask=0xff mode=1").size(), 1u);
    EXPECT_EQ(withPrefix(lines, "baud port=5 rate=100").size(), 1u);
    const auto resets = withPrefix(lines, "reset");
    ASSERT_EQ(resets.size(), 1u);
    const auto writes = withPrefix(lines, "write");
    std::vector<std::string> texts;
    for (const LogLine& line : writes)
        texts.push_back(line.event);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"write port=5 pos=0 chip=YMZ294 addr=0x07 data=0x38",
                                        "write port=5 pos=1 chip=YM2151 addr=0x28 data=0x4a",
                                        "write port=5 pos=2 chip=YM2151 addr=0x08 data=0x01",
                                        "write port=5 pos=1 chip=YM2151 addr=0x108 data=0x12"}));
    ASSERT_EQ(writes.size(), 4u);
    // Reset at byte 17 of the first call; the later calls queue behind it, so
    // the first register write ends at byte 36 + 107.
    EXPECT_NEAR(writes[0].ms - resets[0].ms, 1260.0, 0.01);
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_NEAR(writes[i].ms - writes[i - 1].ms, 1080.0, 0.01);
    const auto saved = withPrefix(lines, "vgm port=5 file=" + vgmPath());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(lines.back().event, "close port=5");

    const std::vector<std::uint8_t> file = vgmFile();
    const VgmContents vgm = readVgm(file);
    EXPECT_EQ(vgm.eofOffset, file.size() - 4);
    EXPECT_EQ(vgm.ym2151Clock, 4000000u | 0x40000000u);
    EXPECT_EQ(vgm.ay8910Clock, 2000000u);
    EXPECT_EQ(vgm.waitedSamples, vgm.totalSamples);
    EXPECT_NE(saved[0].event.find("samples=" + std::to_string(vgm.totalSamples)),
              std::string::npos);
    ASSERT_EQ(vgm.writes.size(), 3u);
    EXPECT_EQ(vgm.writes[0].command, 0xA0);
    EXPECT_EQ(vgm.writes[1].command, 0x54);
    EXPECT_EQ(vgm.writes[2].command, 0xA4);
    EXPECT_EQ(vgm.writes[1].address, 0x28);
    EXPECT_EQ(vgm.writes[1].data, 0x4A);
    for (std::size_t i = 1; i < vgm.writes.size(); ++i)
        EXPECT_NEAR(double(vgm.writes[i].sample - vgm.writes[i - 1].sample), 1080 * 44.1, 1.0);
    // Recording starts with bit-bang mode; the first write is 1430 ms into it.
    EXPECT_NEAR(double(vgm.writes[0].sample), 1430 * 44.1, 44.1 * 100);
}

TEST_F(VirtualBoardTest, FollowsTheModelClockAndMaskSettings) {
    setting("TAVRO_VB_MODEL", "TRQ05");
    setting("TAVRO_VB_CLOCK", "3600000");
    setting("TAVRO_VB_MASKS", "0x10,32,64,128");
    FT_HANDLE handle = openForPlaying(0, 3000000);
    TestWire wire{{0x10, 0x20, 0x40, 0x80}, 0xFF, {}};
    wire.registerWrite(1, 0x10, 0x20);
    wire.registerWrite(2, 0x30, 0x40);
    ASSERT_EQ(send(handle, wire), ftOk);
    ASSERT_EQ(d2xx().close(handle), ftOk);

    const auto writes = withPrefix(parsed(logLines()), "write");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].event, "write port=1 pos=2 chip=YM2413 addr=0x30 data=0x40");
    const VgmContents vgm = readVgm(vgmFile());
    EXPECT_EQ(vgm.ym2413Clock, 3600000u | 0x40000000u);
    EXPECT_EQ(vgm.ym2151Clock, 0u);
    EXPECT_EQ(vgm.ay8910Clock, 1800000u);
    ASSERT_EQ(vgm.writes.size(), 2u);
    EXPECT_EQ(vgm.writes[0].command, 0x51);
    EXPECT_EQ(vgm.writes[1].command, 0xA1);
}

TEST_F(VirtualBoardTest, ABoardModelPerPort) {
    setting("TAVRO_VB_PORTS", "1,2");
    setting("TAVRO_VB_MODEL", "1:kx7m,2:TRQ05");
    FT_HANDLE first = openForPlaying(0, 3000000);
    FT_HANDLE second = openForPlaying(1, 3000000);
    TestWire wire;
    wire.registerWrite(1, 0x10, 0x20);
    ASSERT_EQ(send(first, wire), ftOk);
    wire.registerWrite(1, 0x10, 0x20);
    ASSERT_EQ(send(second, wire), ftOk);
    ASSERT_EQ(d2xx().close(first), ftOk);
    ASSERT_EQ(d2xx().close(second), ftOk);
    const auto writes = withPrefix(parsed(logLines()), "write");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].event, "write port=1 pos=1 chip=YM2151 addr=0x10 data=0x20");
    EXPECT_EQ(writes[1].event, "write port=2 pos=1 chip=YM2413 addr=0x10 data=0x20");
    // The one value for every port, as before; a default with exceptions.
    setting("TAVRO_VB_MODEL", "TRQ05,2:KX7M");
    FT_HANDLE third = openForPlaying(0, 3000000);
    wire.registerWrite(1, 0x10, 0x20);
    ASSERT_EQ(send(third, wire), ftOk);
    ASSERT_EQ(d2xx().close(third), ftOk);
    EXPECT_EQ(withPrefix(parsed(logLines()), "write").back().event,
              "write port=1 pos=1 chip=YM2413 addr=0x10 data=0x20");
}

TEST_F(VirtualBoardTest, SaysWhenABoardIsClosedHeldInReset) {
    FT_HANDLE handle = openForPlaying(0, 3000000);
    TestWire wire;
    wire.pins = 0xFF;
    wire.reset();
    ASSERT_EQ(send(handle, wire), ftOk);
    ASSERT_EQ(d2xx().close(handle), ftOk);
    EXPECT_EQ(parsed(logLines()).back().event, "close port=1");
    // A reset pulse that is never ended leaves the chips in reset.
    handle = openForPlaying(0, 3000000);
    wire.frame(wire::resetAssertWord);
    ASSERT_EQ(send(handle, wire), ftOk);
    ASSERT_EQ(d2xx().close(handle), ftOk);
    EXPECT_EQ(parsed(logLines()).back().event, "close port=1 reset=held");
}

TEST_F(VirtualBoardTest, WritesTheVgmAtProcessExitWhenNotClosed) {
    EXPECT_EXIT(
        {
            FT_HANDLE handle = openForPlaying(0, 115200);
            TestWire wire;
            wire.registerWrite(1, 0x28, 0x4A);
            send(handle, wire);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    const VgmContents vgm = readVgm(vgmFile());
    ASSERT_EQ(vgm.writes.size(), 1u);
    EXPECT_EQ(vgm.writes[0].command, 0x54);
    EXPECT_EQ(vgm.writes[0].address, 0x28);
    EXPECT_EQ(vgm.writes[0].data, 0x4A);
}

} // namespace
