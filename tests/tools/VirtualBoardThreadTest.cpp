// The virtual board under concurrent use, as the library's worker writes
// while another thread closes the device: no write may be lost or torn, and
// calls on the closed handle fail cleanly.
#include "RecordedVgm.h"
#include "VirtualBoardFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST_F(VirtualBoardTest, AWriterRacingACloseEndsCleanly) {
    setting("TAVRO_VB_PORTS", "2,4");
    FT_HANDLE handle = openForPlaying(0, 3000000);
    FT_HANDLE other = openForPlaying(1, 3000000);
    std::atomic<int> delivered{0};
    std::atomic<bool> refused{false};

    std::thread writer([&] {
        TestWire wire;
        for (std::uint8_t value = 0; !refused; ++value) {
            wire.registerWrite(1, 0x28, value);
            if (send(handle, wire) == ftOk) {
                ++delivered;
            } else {
                refused = true;
            }
        }
    });
    std::thread neighbour([&] {
        TestWire wire;
        for (int i = 0; i < 200; ++i) {
            wire.registerWrite(2, 0x30, static_cast<std::uint8_t>(i));
            send(other, wire);
        }
    });
    while (delivered < 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(d2xx().close(handle), ftOk);
    writer.join();
    neighbour.join();
    EXPECT_EQ(d2xx().close(other), ftOk);

    // Only the first device in bit-bang mode is recorded; each delivered call
    // carried one write, and their values follow one another.
    const VgmContents vgm = readVgm(vgmFile());
    ASSERT_EQ(vgm.writes.size(), static_cast<std::size_t>(delivered.load()));
    for (std::size_t i = 0; i < vgm.writes.size(); ++i) {
        EXPECT_EQ(vgm.writes[i].command, 0x54);
        EXPECT_EQ(vgm.writes[i].data, static_cast<std::uint8_t>(i));
    }
}

} // namespace
