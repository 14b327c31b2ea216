// The wire encoder: the frame and register-write examples byte for byte,
// masks naming several pins, pins in no mask, fillers, reset words and wait
// repeats; then random writes under random settings decoded by the board
// model and compared with what was written.
#include "soundif/link/WireEncoder.h"
#include "tools/virtualboard/BoardModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;
using boardmodel::BoardEvent;

TEST(ControlByte, EachFieldReadsAndChangesItsOwnBitWithTheRightPolarity) {
    using wire::ControlByte;
    const ControlByte idle = wire::idleControl;
    for (int position = -1; position <= wire::positionCount; ++position)
        EXPECT_FALSE(idle.selects(position)) << position;
    EXPECT_FALSE(idle.dataPhase());
    EXPECT_FALSE(idle.strobing());
    EXPECT_FALSE(idle.resetting());
    EXPECT_FALSE(idle.addressBit8());

    const ControlByte second = idle.selecting(1);
    EXPECT_EQ(second.value(), 0x6A);
    EXPECT_TRUE(second.selects(1));
    EXPECT_FALSE(second.selects(0));
    EXPECT_FALSE(second.selects(2));
    EXPECT_EQ(idle.selecting(3).value(), idle.value()) << "no fourth chip";
    EXPECT_EQ(idle.selecting(-1).value(), idle.value());

    EXPECT_EQ(idle.inDataPhase(true).value(), 0x7E);
    EXPECT_EQ(idle.strobe(true).value(), 0x4E);
    EXPECT_EQ(idle.reset(true).value(), 0x2E);
    EXPECT_EQ(idle.withAddressBit8(true).value(), 0xEE);
    EXPECT_EQ(idle.strobe(true).strobe(false).value(), idle.value());
    EXPECT_TRUE(ControlByte(0x00).resetting());
    EXPECT_TRUE(ControlByte(0x00).strobing());
    EXPECT_TRUE(ControlByte(0x00).selects(2));

    EXPECT_EQ(wire::word(0x12, idle), 0x126E);
    EXPECT_EQ(wire::chipBusOf(0x126E), 0x12);
    EXPECT_EQ(wire::controlOf(0x126E).value(), 0x6E);
}

TEST(WireEncoder, AFrameOfTheResetWordMatchesTheReferenceBytes) {
    Bytes buffer;
    std::uint8_t pinState = 255;
    wire::appendFrame(buffer, wire::resetAssertWord, {}, pinState);
    EXPECT_EQ(buffer, (Bytes{0xF7, 0xF0, 0xF1, 0xF0, 0xF1, 0xF4, 0xF5, 0xF0, 0xF1, 0xF4, 0xF5, 0xF4,
                             0xF5, 0xF4, 0xF5, 0xF0, 0xF1, 0xF9}));
    EXPECT_EQ(pinState, 0xF9);
}

TEST(WireEncoder, ARegisterWriteIsSixFramesWithBit8InTheControlByte) {
    EXPECT_EQ(wire::controlByte(0, 0x10), 0x6C);
    EXPECT_EQ(wire::controlByte(1, 0x108), 0xEA);
    EXPECT_EQ(wire::controlByte(2, 0xFF), 0x66);
    EXPECT_EQ(wire::controlByte(3, 0), wire::idleControl.value()) << "no fourth chip to select";

    Bytes written;
    std::uint8_t pinState = 255;
    wire::appendRegisterWrite(written, 1, 0x108, 0x55, {}, pinState, 0);
    Bytes expected;
    std::uint8_t referenceState = 255;
    for (std::uint16_t word : {0x08EA, 0x08CA, 0x08EA, 0x55FA, 0x55DA, 0x55FA})
        wire::appendFrame(expected, word, {}, referenceState);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.size(), 108u);
    EXPECT_EQ(pinState, referenceState);

    boardmodel::BoardModel board;
    EXPECT_THAT(board.feed(written),
                ::testing::ElementsAre(BoardEvent{BoardEvent::Kind::write, 107, 1, 0x108, 0x55}));
}

TEST(WireEncoder, MasksMayNameSeveralPinsAndOtherPinsKeepTheirLevel) {
    const wire::PinMasks masks{0x11, 0x22, 0x04, 0x48};
    for (std::uint8_t start : {std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
        Bytes buffer;
        std::uint8_t pinState = start;
        wire::appendRegisterWrite(buffer, 2, 0x1A5, 0xC3, masks, pinState, 4);
        wire::appendFiller(buffer, 3, pinState);
        for (std::uint8_t byte : buffer)
            ASSERT_EQ(byte & 0x80, start & 0x80);
        for (std::uint8_t byte : buffer) {
            ASSERT_EQ((byte & 0x11) == 0, (byte & 0x01) == 0) << "both clock pins move together";
            ASSERT_EQ((byte & 0x22) == 0, (byte & 0x02) == 0);
        }
        boardmodel::BoardModel board(masks);
        const auto events = board.feed(buffer);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].position, 2);
        EXPECT_EQ(events[0].address, 0x1A5);
        EXPECT_EQ(events[0].data, 0xC3);
    }
}

TEST(WireEncoder, FillersRepeatTheLastPinByte) {
    Bytes buffer;
    std::uint8_t pinState = 255;
    wire::appendRegisterWrite(buffer, 0, 0x07, 0x38, {}, pinState, 5);
    ASSERT_EQ(buffer.size(), 113u);
    for (std::size_t i = 54; i < 59; ++i)
        EXPECT_EQ(buffer[i], buffer[53]) << i;
    EXPECT_NE(buffer[59], buffer[53]) << "the data phase starts with the latch low";
    wire::appendFiller(buffer, 2, pinState);
    EXPECT_EQ(buffer.size(), 115u);
    EXPECT_EQ(buffer[113], pinState);
    EXPECT_EQ(buffer[114], pinState);
}

TEST(WireEncoder, TheResetWordsPulseTheResetLine) {
    Bytes buffer;
    std::uint8_t pinState = 255;
    wire::appendFrame(buffer, wire::resetAssertWord, {}, pinState);
    wire::appendFrame(buffer, wire::resetReleaseWord, {}, pinState);
    boardmodel::BoardModel board;
    const auto events = board.feed(buffer);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, BoardEvent::Kind::reset);
}

TEST(WireEncoder, WaitRepeatsAreRoundedUpLessOneAndCapped) {
    EXPECT_EQ(wire::waitRepeat(5, 115200), 0u);
    EXPECT_EQ(wire::waitRepeat(60, 115200), 0u);
    EXPECT_EQ(wire::waitRepeat(5, 3000000), 1u);
    EXPECT_EQ(wire::waitRepeat(21, 3000000), 6u);
    EXPECT_EQ(wire::waitRepeat(10, 3000000), 2u);
    EXPECT_EQ(wire::waitRepeat(60, 3000000), 17u);
    EXPECT_EQ(wire::waitRepeat(0, 3000000), 0u);
    EXPECT_EQ(wire::waitRepeat(0xFFFFFFFEu, 0xFFFFFFFFu), wire::maxWaitRepeat);
}

// Four distinct pins, one per line, in random places; the rest random.
wire::PinMasks randomMasks(std::mt19937& random) {
    std::array<std::uint8_t, 8> pins{0, 1, 2, 3, 4, 5, 6, 7};
    std::shuffle(pins.begin(), pins.end(), random);
    return {static_cast<std::uint8_t>(1u << pins[0]), static_cast<std::uint8_t>(1u << pins[1]),
            static_cast<std::uint8_t>(1u << pins[2]), static_cast<std::uint8_t>(1u << pins[3])};
}

TEST(WireEncoder, TheBoardModelDecodesRandomWritesUnderRandomSettings) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 200; ++round) {
        const wire::PinMasks masks = randomMasks(random);
        const std::uint32_t addressRepeat = random() % 8;
        const std::uint32_t dataRepeat = random() % 8;
        std::uint8_t pinState = static_cast<std::uint8_t>(random());
        const std::uint8_t idle = static_cast<std::uint8_t>(
            pinState & ~(masks.shiftClock | masks.data | masks.control | masks.latch));
        pinState |= masks.shiftClock | masks.data | masks.control | masks.latch;

        Bytes buffer;
        std::vector<BoardEvent> expected;
        const int writes = 1 + static_cast<int>(random() % 20);
        for (int i = 0; i < writes; ++i) {
            const int position = static_cast<int>(random() % 3);
            const auto address = static_cast<std::uint16_t>(random() % 0x200);
            const auto data = static_cast<std::uint8_t>(random());
            if (!buffer.empty()) wire::appendFiller(buffer, dataRepeat, pinState);
            wire::appendRegisterWrite(buffer, position, address, data, masks, pinState,
                                      addressRepeat);
            expected.push_back(
                {BoardEvent::Kind::write, buffer.size() - 1, position, address, data});
        }
        for (std::uint8_t byte : buffer)
            ASSERT_EQ(byte & ~(masks.shiftClock | masks.data | masks.control | masks.latch), idle);
        boardmodel::BoardModel board(masks);
        ASSERT_EQ(board.feed(buffer), expected) << "round " << round;
    }
}

} // namespace
