// The transmit queue and its worker on the recording device module: due
// times (also across the wrap of the 32-bit clock), order, one device write
// per pass, the BufferSize limit, resets with writes queued, and a stress run
// of several writers racing resets, the worker and teardown. What reached
// the device is decoded with the board model.
#include "soundif/link/SoundInterfaceFtd2xx.h"
#include "tests/soundif/link/RecordingD2xx.h"
#include "tools/virtualboard/BoardModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using boardmodel::BoardEvent;

BoardSettings kx7m(std::uint32_t speed = 115200, std::uint32_t bufferSize = 512) {
    BoardSettings settings;
    settings.port = 3;
    settings.slotChipId = 38;
    settings.slotChipClock = 4000000;
    settings.speed = speed;
    settings.bufferSize = bufferSize;
    return settings;
}

// Waits up to five seconds for the device to have received bytes.
bool waitForBytes(std::uint64_t count) {
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (recording::byteCount() < count) {
        if (Clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

std::vector<BoardEvent> decoded() {
    boardmodel::BoardModel board;
    return board.feed(recording::bytes());
}

class TransmitQueue : public ::testing::Test {
protected:
    void SetUp() override { recording::start("3"); }
};

// Milliseconds from queuing one write until the device got it, with the
// interface's clock set to start first.
double leaveAfter(std::int32_t delay, std::uint32_t start) {
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    board.setSendDelay(delay);
    board.setClock(start);
    const auto queued = Clock::now();
    EXPECT_EQ(board.writeRegister(1, 0x20, 0x11), 1);
    EXPECT_TRUE(waitForBytes(108));
    std::vector<std::uint64_t> bytesAfter;
    std::vector<std::int64_t> times;
    recording::writeTimes(bytesAfter, times);
    const auto sent = Clock::time_point(std::chrono::nanoseconds(times.at(0)));
    return std::chrono::duration<double, std::milli>(sent - queued).count();
}

TEST_F(TransmitQueue, AWriteLeavesWhenItsDelayHasPassed) {
    const double after = leaveAfter(60, 1000);
    EXPECT_GE(after, 59.0);
    EXPECT_LT(after, 1000.0);
}

TEST_F(TransmitQueue, DueTimesCompareCorrectlyAcrossTheClockWrap) {
    const double after = leaveAfter(60, 0xFFFFFFFFu - 20);
    EXPECT_GE(after, 59.0) << "due wrapped past zero must not count as long overdue";
    EXPECT_LT(after, 1000.0);
}

TEST_F(TransmitQueue, WritesDueInOnePassGoOutInOrderInOneDeviceWrite) {
    CSoundInterfaceFtd2xx board(kx7m(3000000), recording::functions());
    board.setSendDelay(100000);
    board.setClock(0);
    for (std::uint32_t i = 0; i < 50; ++i)
        board.writeRegister(i % 3, 0x100 + i, i);
    EXPECT_EQ(board.pendingWrites(), 50u);
    board.setClock(200000);
    const std::uint64_t expected = 50 * (108 + 1) + 49 * 6;
    ASSERT_TRUE(waitForBytes(expected)) << recording::byteCount();
    EXPECT_EQ(recording::writeSizes(),
              std::vector<std::uint32_t>{static_cast<std::uint32_t>(expected)});
    EXPECT_EQ(recording::bytes()[0], 0xF7) << "no filler before the first write";
    const auto events = decoded();
    ASSERT_EQ(events.size(), 50u);
    for (std::uint32_t i = 0; i < 50; ++i) {
        EXPECT_EQ(events[i].position, static_cast<int>(i % 3));
        EXPECT_EQ(events[i].address, 0x100 + i);
        EXPECT_EQ(events[i].data, i);
    }
}

// Writes leave in the order they were queued: one that is already due takes
// an earlier one that is not along with it (the send delay changed between
// them), and nothing passes it.
TEST_F(TransmitQueue, ADueWriteTakesAnEarlierOneThatIsNotAlongInOrder) {
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    board.setClock(0);
    board.setSendDelay(100000);
    board.writeRegister(0, 0x07, 0x38);
    board.writeRegister(1, 0x20, 0xC7);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(recording::byteCount(), 0u) << "writes on their own wait for their time";
    board.setSendDelay(0);
    board.writeRegister(2, 0x21, 0xC7);
    ASSERT_TRUE(waitForBytes(3 * 108));
    const auto events = decoded();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].address, 0x07);
    EXPECT_EQ(events[1].address, 0x20);
    EXPECT_EQ(events[2].address, 0x21);
}

// A burst that the link needs longer for than its writes have left starts
// ahead of its due time: 200 writes of 937 us each (108 pin bytes at 115200)
// due in 100 ms cannot all wait, so the first 94 (those whose latest start,
// 100 ms less their 199 - i followers' wire time, has come) go at once,
// long before the burst is due.
TEST_F(TransmitQueue, ABurstOnASlowLinkStartsAheadOfItsTime) {
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    ASSERT_EQ(board.addressWaitRepeat() + board.dataWaitRepeat(), 0u);
    board.setClock(0);
    board.setSendDelay(1000);
    for (std::uint32_t i = 0; i < 200; ++i)
        board.writeRegister(1, 0x40 + i % 0xC0, i);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(recording::byteCount(), 0u) << "the burst has time left";
    board.setClock(900);
    const auto moved = Clock::now();
    ASSERT_TRUE(waitForBytes(94 * 108));
    EXPECT_LT(Clock::now() - moved, std::chrono::milliseconds(90))
        << "the burst's head went out before the burst was due";
    board.setClock(2000);
    ASSERT_TRUE(waitForBytes(200 * 108));
    const auto events = decoded();
    ASSERT_EQ(events.size(), 200u);
    for (std::uint32_t i = 0; i < 200; ++i)
        EXPECT_EQ(events[i].data, i % 256);
}

// A pass that finds writes due after an earlier pass sent others starts its
// device write with the first write's own frames: the data-wait filler goes
// only between writes of one pass.
TEST_F(TransmitQueue, EachPassStartsWithAWriteNotWithFiller) {
    CSoundInterfaceFtd2xx board(kx7m(3000000), recording::functions());
    ASSERT_EQ(board.dataWaitRepeat(), 6u);
    board.setSendDelay(0);
    for (int pass = 0; pass < 3; ++pass) {
        board.writeRegister(1, 0x10 + pass, pass);
        board.writeRegister(2, 0x10 + pass, pass);
        ASSERT_TRUE(waitForBytes((pass + 1) * 2 * (108 + 1)));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto sizes = recording::writeSizes();
    const auto bytes = recording::bytes();
    std::size_t start = 0;
    for (std::uint32_t size : sizes) {
        EXPECT_EQ(bytes[start] & 0x08, 0) << "a write call begins with a frame's first byte";
        EXPECT_EQ(size % (108 + 1 + 6), 108u + 1) << "fillers only between the writes of a pass";
        start += size;
    }
    EXPECT_EQ(decoded().size(), 6u);
}

TEST_F(TransmitQueue, BufferSizeOneMakesEachWriterWaitForAnEmptyQueue) {
    CSoundInterfaceFtd2xx board(kx7m(115200, 1), recording::functions());
    board.setSendDelay(25);
    const auto start = Clock::now();
    for (std::uint32_t i = 0; i < 4; ++i) {
        board.writeRegister(0, i, i);
        EXPECT_LE(board.pendingWrites(), 1u);
    }
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(70))
        << "three of the four writes waited for the one before to leave";
    ASSERT_TRUE(waitForBytes(4 * 108));
}

TEST_F(TransmitQueue, BufferSizeZeroNeverWaits) {
    CSoundInterfaceFtd2xx board(kx7m(115200, 0), recording::functions());
    board.setSendDelay(100000);
    const auto start = Clock::now();
    for (std::uint32_t i = 0; i < 5000; ++i)
        ASSERT_EQ(board.writeRegister(0, i, i), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(board.pendingWrites(), 5000u);
}

TEST_F(TransmitQueue, AResetDropsQueuedWritesAndStillPulsesTheBoard) {
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    board.setSendDelay(100000);
    SoundChip* opm = board.chipAt(1);
    opm->setRegister(0x30, 0x40);
    for (std::uint32_t i = 0; i < 5; ++i)
        board.writeRegister(2, i, i);
    EXPECT_EQ(board.resetInterface(), 1);
    EXPECT_EQ(board.pendingWrites(), 0u);
    EXPECT_EQ(opm->getRegister(0x30), -1);
    EXPECT_EQ(recording::writeSizes(), (std::vector<std::uint32_t>{18, 18}));
    // What the board sees: the reset line low, then high again, with no
    // write needed to let the chips out of reset.
    boardmodel::BoardModel wire;
    const std::vector<std::uint8_t> pulse = recording::bytes();
    EXPECT_EQ(wire.feed(std::span(pulse).first(18)).front().kind, BoardEvent::Kind::reset);
    EXPECT_TRUE(wire.resetHeld());
    wire.feed(std::span(pulse).subspan(18));
    EXPECT_FALSE(wire.resetHeld()) << "the board is left held in reset";
    std::vector<std::uint64_t> bytesAfter;
    std::vector<std::int64_t> times;
    recording::writeTimes(bytesAfter, times);
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 1000000) << "the reset line is held low for 1 ms at least";

    board.setSendDelay(0);
    opm->setRegister(0x30, 0x40);
    ASSERT_TRUE(waitForBytes(36 + 108));
    const auto events = decoded();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, BoardEvent::Kind::reset);
    EXPECT_EQ(events[1], (BoardEvent{BoardEvent::Kind::write, 36 + 107, 1, 0x30, 0x40}));
}

// The section's Speed goes to the device's baud rate, and its pin masks
// decide which pins carry the four lines; the other pins keep their level.
TEST_F(TransmitQueue, TheBoardsSpeedAndPinMasksReachTheDevice) {
    BoardSettings settings = kx7m(921600);
    settings.sBit = 0x80;
    settings.dBit = 0x40;
    settings.cBit = 0x20;
    settings.rBit = 0x10;
    CSoundInterfaceFtd2xx board(settings, recording::functions());
    board.setSendDelay(0);
    const auto calls = recording::calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "baud 0 921600"), calls.end());
    board.writeRegister(2, 0x1A5, 0x3C);
    ASSERT_TRUE(waitForBytes(108));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto bytes = recording::bytes();
    for (std::uint8_t pins : bytes)
        ASSERT_EQ(pins & 0x0F, 0x0F) << "a pin outside the masks changed";
    boardmodel::BoardModel model({0x80, 0x40, 0x20, 0x10});
    const auto events = model.feed(bytes);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, BoardEvent::Kind::write);
    EXPECT_EQ(events[0].position, 2);
    EXPECT_EQ(events[0].address, 0x1A5);
    EXPECT_EQ(events[0].data, 0x3C);
}

// Errors of the device calls after opening are ignored: a board whose bit
// mode or baud rate cannot be set is used all the same, and a failed write
// loses only its own bytes, the worker going on with the next.
TEST_F(TransmitQueue, DeviceErrorsAfterOpeningAreIgnored) {
    recording::failCalls({.bitMode = 4, .baudRate = 4, .write = 4});
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    ASSERT_EQ(board.chipCount(), 3);
    board.setSendDelay(0);
    EXPECT_EQ(board.writeRegister(1, 0x20, 0x01), 1);
    const auto limit = Clock::now() + std::chrono::seconds(5);
    const auto failedWrites = [] {
        const auto calls = recording::calls();
        return std::count(calls.begin(), calls.end(), "write 0 108 failed");
    };
    while (failedWrites() == 0 && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(failedWrites(), 1);
    EXPECT_EQ(board.resetInterface(), 1) << "the reset pulse counts as sent";

    recording::failCalls({});
    board.chipAt(1)->setRegister(0x20, 0x02);
    ASSERT_TRUE(waitForBytes(108));
    const auto events = decoded();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].address, 0x20);
    EXPECT_EQ(events[0].data, 0x02);
}

// Music retriggers the SSG's envelope by writing its shape again: every
// such write reaches the board, while other repeated writes stay filtered.
TEST_F(TransmitQueue, ARepeatedEnvelopeShapeReachesTheBoard) {
    CSoundInterfaceFtd2xx board(kx7m(), recording::functions());
    board.setSendDelay(0);
    SoundChip* ssg = board.chipAt(0);
    for (int note = 0; note < 3; ++note) {
        ssg->setRegister(0x0D, 0x0E);
        ssg->setRegister(0x08, 0x10);
    }
    ASSERT_TRUE(waitForBytes(4 * 108));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<std::pair<int, int>> writes;
    for (const BoardEvent& event : decoded())
        if (event.kind == BoardEvent::Kind::write && event.position == 0)
            writes.emplace_back(event.address, event.data);
    EXPECT_EQ(writes, (std::vector<std::pair<int, int>>{
                          {0x0D, 0x0E}, {0x08, 0x10}, {0x0D, 0x0E}, {0x0D, 0x0E}}));
}

// Three writers (one per chip position) each send a numbered sequence, with
// the number spread over address and data; a fourth thread resets the board
// meanwhile. Writes may be dropped by a reset but never reordered, and every
// write queued after the last reset arrives.
TEST_F(TransmitQueue, WritersResetsAndTeardownRaceWithoutLossOrReordering) {
    constexpr std::uint32_t perWriter = 3000;
    constexpr std::uint32_t afterResets = 200;
    auto board = std::make_unique<CSoundInterfaceFtd2xx>(kx7m(115200, 64), recording::functions());
    board->setSendDelay(0);
    std::atomic<bool> resetsDone{false};
    std::atomic<int> writersInTail{0};

    auto writer = [&](std::uint32_t position) {
        for (std::uint32_t n = 0; n < perWriter; ++n) {
            if (n == perWriter - afterResets) {
                writersInTail.fetch_add(1);
                while (!resetsDone.load())
                    std::this_thread::yield();
            }
            board->writeRegister(position, n >> 8, n & 0xFF);
        }
    };
    std::thread resetter([&] {
        for (int i = 0; i < 20 && writersInTail.load() < 3; ++i) {
            board->resetInterface();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        while (writersInTail.load() < 3)
            std::this_thread::yield();
        resetsDone = true;
    });
    std::vector<std::thread> writers;
    for (std::uint32_t position = 0; position < 3; ++position)
        writers.emplace_back(writer, position);
    for (auto& thread : writers)
        thread.join();
    resetter.join();
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (board->pendingWrites() != 0 && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    board.reset();

    std::array<std::vector<std::uint32_t>, 3> arrived;
    std::size_t resets = 0;
    for (const BoardEvent& event : decoded()) {
        if (event.kind == BoardEvent::Kind::reset) {
            ++resets;
            continue;
        }
        ASSERT_EQ(event.kind, BoardEvent::Kind::write);
        arrived[event.position].push_back((std::uint32_t{event.address} << 8) | event.data);
    }
    EXPECT_GE(resets, 2u) << "at least one reset during the run and the one at teardown";
    for (const auto& sequence : arrived) {
        ASSERT_GE(sequence.size(), afterResets);
        for (std::size_t i = 1; i < sequence.size(); ++i)
            ASSERT_LT(sequence[i - 1], sequence[i]) << "reordered at " << i;
        for (std::uint32_t k = 0; k < afterResets; ++k)
            EXPECT_EQ(sequence[sequence.size() - afterResets + k], perWriter - afterResets + k);
    }
}

TEST_F(TransmitQueue, TeardownWhileTheWorkerIsBusyLeavesTheBoardReset) {
    auto board = std::make_unique<CSoundInterfaceFtd2xx>(kx7m(3000000, 0), recording::functions());
    board->setSendDelay(0);
    for (std::uint32_t i = 0; i < 20000; ++i)
        board->writeRegister(i % 3, i & 0xFF, i >> 8);
    board.reset();
    const auto events = decoded();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, BoardEvent::Kind::reset);
    const auto calls = recording::calls();
    EXPECT_EQ(calls.back(), "close 0");
}

} // namespace
