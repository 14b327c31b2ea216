// The libftdi1 device backend with the system's real libftdi1 on an emulated
// USB bus of FTDI chips: listing and COM numbers, which interface is opened,
// the requests each chip receives and their order, the baud-rate divisors,
// the pin bytes of a playing board, serial ports of other adapters left
// alone, permission and busy refusals, and a board pulled out while playing.
#include "common/Platform.h"
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "soundif/link/d2xx/D2xxBackends.h"
#include "tests/soundif/link/usb/EmulatedUsb.h"
#include "tools/virtualboard/BoardModel.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <libusb.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using emulatedusb::Chip;
using emulatedusb::EventKind;
using ::testing::ElementsAre;

// The library takes the built-in backend only when no stand-in module is named.
const bool builtInBackend = [] { return unsetenv("TAVRO_D2XX_MODULE") == 0; }();

const D2xxFunctions& ftdi() {
    return platformD2xx();
}

struct Request {
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    bool operator==(const Request&) const = default;
};

void PrintTo(const Request& r, std::ostream* os) {
    *os << "{req " << int(r.request) << ", value 0x" << std::hex << r.value << ", index 0x"
        << r.index << std::dec << "}";
}

constexpr std::uint8_t reset = 0x00, baud = 0x03, bitMode = 0x0B;

// Vendor requests that reached a device, in order.
std::vector<Request> requests(int device) {
    std::vector<Request> result;
    for (const auto& event : emulatedusb::events())
        if (event.kind == EventKind::control && event.device == device)
            result.push_back({event.request, event.value, event.index});
    return result;
}

// The kinds of the open, claim, release, detach, attach and close events.
std::vector<EventKind> lifecycle(int device) {
    std::vector<EventKind> result;
    for (const auto& event : emulatedusb::events())
        if (event.device == device && event.kind != EventKind::control &&
            event.kind != EventKind::bulkOut && event.kind != EventKind::bulkIn)
            result.push_back(event.kind);
    return result;
}

int count(EventKind kind) {
    int n = 0;
    for (const auto& event : emulatedusb::events())
        n += event.kind == kind;
    return n;
}

std::uint32_t listed() {
    std::uint32_t n = 9999;
    EXPECT_EQ(ftdi().listDevices(&n, nullptr, ftListNumberOnly), ftOk);
    return n;
}

int plug(Chip chip, int bus, std::vector<std::uint8_t> path) {
    return emulatedusb::plug({chip, bus, std::move(path), "EMU"});
}

class FtdiBackend : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(builtInBackend);
        emulatedusb::reset();
    }
    void TearDown() override { emulatedusb::reset(); }
};

TEST_F(FtdiBackend, ListsEveryInterfaceNumberedByBusSocketAndInterfaceWithoutTouchingIt) {
    EXPECT_EQ(listed(), 0u);
    const int devices[] = {
        plug(Chip::ft232r, 3, {4}),     plug(Chip::ft2232d, 1, {2}),
        plug(Chip::ft2232h, 1, {1, 6}), plug(Chip::ft4232h, 2, {3, 1, 5}),
        plug(Chip::ft232h, 4, {7}),     plug(Chip::ft230x, 5, {2}),
    };
    ASSERT_EQ(listed(), 11u);
    // Listed by product id, then in bus order; hubs do not count, the socket does.
    std::vector<std::int32_t> ports;
    for (std::int32_t index = 0; index < 11; ++index) {
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(ftdi().open(index, &handle), ftOk) << index;
        std::int32_t port = 0;
        EXPECT_EQ(ftdi().getComPortNumber(handle, &port), ftOk);
        ports.push_back(port);
        EXPECT_EQ(ftdi().close(handle), ftOk);
    }
    EXPECT_THAT(ports,
                ElementsAre(3040, 1020, 1021, 1060, 1061, 2050, 2051, 2052, 2053, 4070, 5020));
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(ftdi().open(11, &handle), ftDeviceNotFound);
    EXPECT_EQ(handle, nullptr);

    // Asking the numbers claimed nothing, detached no serial driver and sent
    // no request: every adapter keeps its serial port.
    EXPECT_EQ(count(EventKind::claim), 0);
    EXPECT_EQ(count(EventKind::detach), 0);
    EXPECT_EQ(count(EventKind::control), 0);
    for (const int device : devices) {
        EXPECT_EQ(emulatedusb::openHandles(device), 0);
        EXPECT_TRUE(emulatedusb::kernelDriverBound(device, 0));
    }
}

TEST_F(FtdiBackend, DrivesTheInterfaceItOpenedAndGivesItBackToTheSerialDriver) {
    const int quad = plug(Chip::ft4232h, 2, {5});
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(ftdi().open(2, &handle), ftOk); // interface C
    std::int32_t port = 0;
    ASSERT_EQ(ftdi().getComPortNumber(handle, &port), ftOk);
    EXPECT_EQ(port, 2052);
    EXPECT_THAT(lifecycle(quad), ElementsAre(EventKind::open, EventKind::close))
        << "opening only looked at the device";

    EXPECT_EQ(ftdi().setBitMode(handle, 0, 0), ftOk);
    EXPECT_EQ(ftdi().setBitMode(handle, 0xFF, 1), ftOk);
    EXPECT_EQ(ftdi().setBaudRate(handle, 115200), ftOk);
    std::uint8_t pins[] = {0xF7, 0x00, 0x5A, 0xFF};
    std::uint32_t written = 0;
    EXPECT_EQ(ftdi().write(handle, pins, sizeof pins, &written), ftOk);
    EXPECT_EQ(written, sizeof pins);

    EXPECT_TRUE(emulatedusb::claimed(quad, 2));
    EXPECT_FALSE(emulatedusb::kernelDriverBound(quad, 2));
    for (const int other : {0, 1, 3}) {
        EXPECT_FALSE(emulatedusb::claimed(quad, other));
        EXPECT_TRUE(emulatedusb::kernelDriverBound(quad, other));
        EXPECT_TRUE(emulatedusb::bulkBytes(quad, other).empty());
    }
    EXPECT_THAT(emulatedusb::bulkBytes(quad, 2), ElementsAre(0xF7, 0x00, 0x5A, 0xFF));
    EXPECT_EQ(emulatedusb::bitMode(quad, 2), 0x01FF);
    for (const Request& request : requests(quad))
        EXPECT_EQ(request.index & 0xFF, 3) << "every request addresses interface C";

    EXPECT_EQ(ftdi().setBitMode(handle, 0, 0), ftOk);
    EXPECT_EQ(ftdi().close(handle), ftOk);
    EXPECT_FALSE(emulatedusb::claimed(quad, 2));
    EXPECT_TRUE(emulatedusb::kernelDriverBound(quad, 2)) << "the serial port is back";
    EXPECT_EQ(emulatedusb::openHandles(quad), 0);
    EXPECT_THAT(lifecycle(quad),
                ElementsAre(EventKind::open, EventKind::close, EventKind::open, EventKind::detach,
                            EventKind::claim, EventKind::release, EventKind::attach,
                            EventKind::close));
}

BoardSettings kx7m(std::int32_t port, std::uint32_t speed) {
    BoardSettings settings;
    settings.port = port;
    settings.slotChipId = 38;
    settings.slotChipClock = 4000000;
    settings.speed = speed;
    return settings;
}

bool waitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST_F(FtdiBackend, ABoardPlaysThroughTheLibraryInTheDevicesOrderAndEveryPinByteArrives) {
    const int other = plug(Chip::ft232r, 1, {1}); // a user's serial cable
    const int board = plug(Chip::ft2232h, 3, {2, 4});
    {
        CSoundInterfaceFtd2xx kx(kx7m(3041, 3000000), ftdi()); // interface B
        ASSERT_EQ(kx.chipCount(), 3);
        // libftdi1 resets the chip and sets its 9600 default when it claims
        // it; then bit mode off, asynchronous bit-bang on all pins, baud rate.
        EXPECT_THAT(requests(board),
                    ElementsAre(Request{reset, 0, 2}, Request{baud, 0x04E2, 0x0202},
                                Request{bitMode, 0x0000, 2}, Request{bitMode, 0x01FF, 2},
                                Request{baud, 0x0004, 0x0202}));
        kx.setSendDelay(0);
        for (std::uint32_t i = 0; i < 300; ++i)
            kx.writeRegister(i % 3, 0x20 + i % 0xE0, i & 0xFF);
        ASSERT_TRUE(waitFor([&] {
            boardmodel::BoardModel model;
            return model.feed(emulatedusb::bulkBytes(board, 1)).size() >= 300;
        }));
        boardmodel::BoardModel model;
        const auto seen = model.feed(emulatedusb::bulkBytes(board, 1));
        ASSERT_EQ(seen.size(), 300u);
        for (std::uint32_t i = 0; i < 300; ++i) {
            EXPECT_EQ(seen[i].kind, boardmodel::BoardEvent::Kind::write);
            EXPECT_EQ(seen[i].position, static_cast<int>(i % 3));
            EXPECT_EQ(seen[i].address, 0x20 + i % 0xE0);
            EXPECT_EQ(seen[i].data, i & 0xFF);
        }
        emulatedusb::clearEvents();
    }
    // Teardown: the reset pulse, bit mode off, then the device is released
    // and its interface given back to the serial driver.
    boardmodel::BoardModel model;
    const auto tail = model.feed(emulatedusb::bulkBytes(board, 1));
    EXPECT_EQ(tail.back().kind, boardmodel::BoardEvent::Kind::reset);
    EXPECT_THAT(requests(board), ElementsAre(Request{bitMode, 0x0000, 2}));
    EXPECT_THAT(lifecycle(board),
                ElementsAre(EventKind::release, EventKind::attach, EventKind::close));
    EXPECT_TRUE(emulatedusb::kernelDriverBound(board, 1));
    EXPECT_EQ(emulatedusb::openHandles(board), 0);
    EXPECT_TRUE(emulatedusb::kernelDriverBound(other, 0));
    EXPECT_TRUE(emulatedusb::bulkBytes(board, 0).empty());
}

// The divisor each chip family receives for a rate, and the generator rate
// the chip decodes from it. Full-speed chips divide a 3 MHz base in eighths;
// the high-speed ones a 12 MHz base, chosen by divisor bit 17 (wIndex bit 9),
// with the interface in wIndex's low byte.
struct DivisorCase {
    Chip chip;
    std::uint32_t speed;
    std::uint16_t value;
    std::uint16_t index;
};

constexpr DivisorCase divisorCases[] = {
    // FT232R and FT230X: 3 MHz / 312.5, 26, 3.25; 0 means the full 3 MHz.
    {Chip::ft232r, 9600, 0x4138, 0},
    {Chip::ft232r, 115200, 0x001A, 0},
    {Chip::ft232r, 921600, 0x8003, 0},
    {Chip::ft232r, 3000000, 0x0000, 0},
    {Chip::ft230x, 9600, 0x4138, 0},
    {Chip::ft230x, 115200, 0x001A, 0},
    {Chip::ft230x, 921600, 0x8003, 0},
    {Chip::ft230x, 3000000, 0x0000, 0},
    // FT2232D: the same divisors; libftdi1 puts no interface in wIndex.
    {Chip::ft2232d, 9600, 0x4138, 0},
    {Chip::ft2232d, 115200, 0x001A, 0},
    {Chip::ft2232d, 921600, 0x8003, 0},
    {Chip::ft2232d, 3000000, 0x0000, 0},
    // FT2232H, FT4232H, FT232H: 12 MHz / 1250, 104.125, 13, 4.
    {Chip::ft2232h, 9600, 0x04E2, 0x0201},
    {Chip::ft2232h, 115200, 0xC068, 0x0201},
    {Chip::ft2232h, 921600, 0x000D, 0x0201},
    {Chip::ft2232h, 3000000, 0x0004, 0x0201},
    {Chip::ft4232h, 9600, 0x04E2, 0x0201},
    {Chip::ft4232h, 115200, 0xC068, 0x0201},
    {Chip::ft4232h, 921600, 0x000D, 0x0201},
    {Chip::ft4232h, 3000000, 0x0004, 0x0201},
    {Chip::ft232h, 9600, 0x04E2, 0x0201},
    {Chip::ft232h, 115200, 0xC068, 0x0201},
    {Chip::ft232h, 921600, 0x000D, 0x0201},
    {Chip::ft232h, 3000000, 0x0004, 0x0201},
};

TEST_F(FtdiBackend, InBitBangModeTheGeneratorRunsAtTheRequestedRateOnEveryChipFamily) {
    for (const DivisorCase& c : divisorCases) {
        emulatedusb::reset();
        const int device = plug(c.chip, 1, {1});
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(ftdi().open(0, &handle), ftOk);
        ftdi().setBitMode(handle, 0, 0);
        ftdi().setBitMode(handle, 0xFF, 1);
        emulatedusb::clearEvents();
        EXPECT_EQ(ftdi().setBaudRate(handle, c.speed), ftOk);
        const auto sent = requests(device);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], (Request{baud, c.value, c.index}))
            << "chip " << static_cast<int>(c.chip) << " at " << c.speed;
        const double rate = emulatedusb::baudRate(device, 0);
        EXPECT_NEAR(rate / c.speed, 1.0, 0.03)
            << "chip " << static_cast<int>(c.chip) << " at " << c.speed << " runs at " << rate;
        ftdi().close(handle);
    }
    // A known limit of libftdi1: an FT2232D's rate goes out without the
    // interface, so the rate asked for interface B reaches interface A.
    emulatedusb::reset();
    const int dual = plug(Chip::ft2232d, 1, {1});
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(ftdi().open(1, &handle), ftOk);
    ftdi().setBitMode(handle, 0xFF, 1);
    EXPECT_EQ(ftdi().setBaudRate(handle, 115200), ftOk);
    EXPECT_EQ(emulatedusb::baudRate(dual, 1), 0.0);
    EXPECT_NEAR(emulatedusb::baudRate(dual, 0), 115385, 1);
    ftdi().close(handle);
}

TEST_F(FtdiBackend, RefusedOrHeldDevicesFailToOpenAndAStuckSerialDriverFailsFirstUse) {
    const int locked = plug(Chip::ft232r, 1, {1});
    emulatedusb::refuseOpen(locked, LIBUSB_ERROR_ACCESS);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(ftdi().open(0, &handle), ftDeviceNotOpened);
    EXPECT_EQ(handle, nullptr);

    // Another program holds an interface that no kernel driver is bound to.
    emulatedusb::refuseOpen(locked, 0);
    emulatedusb::bindKernelDriver(locked, 0, false);
    emulatedusb::holdInterface(locked, 0, true);
    EXPECT_EQ(ftdi().open(0, &handle), ftDeviceNotOpened);
    EXPECT_EQ(emulatedusb::openHandles(locked), 0);
    emulatedusb::holdInterface(locked, 0, false);
    ASSERT_EQ(ftdi().open(0, &handle), ftOk) << "a free interface is claimed at once";
    EXPECT_TRUE(emulatedusb::claimed(locked, 0));
    EXPECT_EQ(count(EventKind::detach), 0);
    ftdi().close(handle);
    EXPECT_FALSE(emulatedusb::kernelDriverBound(locked, 0)) << "no driver to give back";

    // A serial driver that will not let go: the number can be asked, the
    // device cannot be driven.
    emulatedusb::bindKernelDriver(locked, 0, true, LIBUSB_ERROR_ACCESS);
    ASSERT_EQ(ftdi().open(0, &handle), ftOk);
    EXPECT_EQ(ftdi().setBitMode(handle, 0xFF, 1), ftDeviceNotOpened);
    std::uint8_t byte = 0;
    std::uint32_t written = 9;
    EXPECT_EQ(ftdi().write(handle, &byte, 1, &written), ftDeviceNotOpened);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ftdi().close(handle), ftOk);
    EXPECT_TRUE(emulatedusb::kernelDriverBound(locked, 0));
    EXPECT_EQ(emulatedusb::openHandles(locked), 0);
}

TEST_F(FtdiBackend, ABoardPulledOutWhilePlayingFailsItsWritesAndStillCloses) {
    const int device = plug(Chip::ft232r, 2, {3});
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(ftdi().open(0, &handle), ftOk);
    ASSERT_EQ(ftdi().setBitMode(handle, 0xFF, 1), ftOk);
    emulatedusb::vanishAfter(device, 10000);
    std::vector<std::uint8_t> pins(6000, 0x55);
    std::uint32_t written = 0;
    EXPECT_EQ(ftdi().write(handle, pins.data(), 6000, &written), ftOk);
    EXPECT_EQ(ftdi().write(handle, pins.data(), 6000, &written), ftDeviceNotFound);
    EXPECT_LT(written, 6000u);
    EXPECT_EQ(ftdi().write(handle, pins.data(), 6000, &written), ftDeviceNotFound);
    EXPECT_NE(ftdi().setBitMode(handle, 0, 0), ftOk);
    EXPECT_EQ(ftdi().close(handle), ftOk);
    EXPECT_EQ(emulatedusb::openHandles(device), 0);
    EXPECT_EQ(listed(), 0u);

    // The same through the library: the worker meets the failure, the board
    // keeps accepting writes and tears down promptly.
    emulatedusb::reset();
    const int board = plug(Chip::ft232h, 1, {6});
    const auto start = std::chrono::steady_clock::now();
    {
        CSoundInterfaceFtd2xx kx(kx7m(1060, 921600), ftdi());
        ASSERT_EQ(kx.chipCount(), 3);
        kx.setSendDelay(0);
        emulatedusb::vanishAfter(board, 108 * 50 + 7);
        for (std::uint32_t i = 0; i < 200; ++i)
            EXPECT_EQ(kx.writeRegister(1, 0x28, i), 1);
        ASSERT_TRUE(waitFor([&] { return kx.pendingWrites() == 0; }));
        EXPECT_EQ(kx.resetInterface(), 1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(emulatedusb::openHandles(board), 0);
    // What arrived before the board went is intact: the first writes, in order.
    boardmodel::BoardModel model;
    const auto seen = model.feed(emulatedusb::bulkBytes(board, 0));
    // 49 or 50 writes fit, as writes of one pass have a filler byte between them.
    ASSERT_GE(seen.size(), 49u);
    ASSERT_LE(seen.size(), 50u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].position, 1);
        EXPECT_EQ(seen[i].data, i);
    }
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Plays until the board is pulled out; the board is gone by the end.
void playUntilPulled(int device, std::int32_t port) {
    CSoundInterfaceFtd2xx kx(kx7m(port, 115200), ftdi());
    ASSERT_EQ(kx.chipCount(), 3);
    kx.setSendDelay(0);
    emulatedusb::vanishAfter(device, 500);
    for (std::uint32_t i = 0; i < 20; ++i)
        kx.writeRegister(0, 7, i);
    ASSERT_TRUE(waitFor([&] { return kx.pendingWrites() == 0; }));
    for (std::uint32_t i = 0; i < 20; ++i)
        kx.writeRegister(0, 8, i);
    ASSERT_TRUE(waitFor([&] { return kx.pendingWrites() == 0; }));
}

TEST_F(FtdiBackend, TheOptInLogRecordsTheFailuresTheWorkerMeetsWithTimeAndComNumber) {
    const auto log = std::filesystem::temp_directory_path() /
                     ("tavro-log-" + std::to_string(::getpid()) + ".txt");
    std::filesystem::remove(log);
    platform::setEnvironment("TAVRO_LOG", "");
    playUntilPulled(plug(Chip::ft232r, 2, {5}), 2050);
    EXPECT_FALSE(std::filesystem::exists(log)) << "off unless asked for";

    emulatedusb::reset();
    platform::setEnvironment("TAVRO_LOG", log.c_str());
    playUntilPulled(plug(Chip::ft232r, 2, {5}), 2050);
    CSoundInterfaceFtd2xx absent(kx7m(7777, 115200), ftdi());
    platform::unsetEnvironment("TAVRO_LOG");
    const std::string text = fileText(log);
    std::filesystem::remove(log);
    // One line for the run of failed writes (the rest of the play and the
    // reset pulse at teardown fail alike), one for the board not found.
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u) << text;
    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z ";
    EXPECT_THAT(lines[0], ::testing::MatchesRegex(stamp + "COM2050 write of [0-9]+ bytes failed: "
                                                          "the device is gone.*status 2.*"));
    EXPECT_THAT(lines[1], ::testing::MatchesRegex(stamp + "COM7777 not opened: .*"));

    emulatedusb::reset();
    platform::setEnvironment("TAVRO_LOG", "-");
    ::testing::internal::CaptureStderr();
    playUntilPulled(plug(Chip::ft232r, 2, {5}), 2050);
    platform::unsetEnvironment("TAVRO_LOG");
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::HasSubstr("Z COM2050 write of"));
}

} // namespace
