// The board model against hand-built pin streams: frames to words, register
// writes to chip events, fillers, unusual pin masks and the reset words.
#include "tools/virtualboard/BoardModel.h"
#include "TestWire.h"

#include <gtest/gtest.h>

namespace {

using boardmodel::BoardEvent;
using boardmodel::BoardModel;
using boardmodel::PinDecoder;
using wire::PinMasks;
using Kind = BoardEvent::Kind;

constexpr std::size_t frameSize = 18;
constexpr std::size_t writeSize = 6 * frameSize;

BoardEvent writeAt(std::size_t offset, int position, std::uint16_t address, std::uint8_t data) {
    return {Kind::write, offset, position, address, data};
}

TEST(PinDecoder, LatchesTheWordOfAFrameAtItsLastByte) {
    const std::vector<std::uint8_t> frame = {0xF7, 0xF0, 0xF1, 0xF0, 0xF1, 0xF4, 0xF5, 0xF0, 0xF1,
                                             0xF4, 0xF5, 0xF4, 0xF5, 0xF4, 0xF5, 0xF0, 0xF1, 0xF9};
    TestWire wire;
    wire.frame(wire::resetAssertWord);
    ASSERT_EQ(wire.bytes, frame);
    EXPECT_EQ(wire.pins, 0xF9);

    PinDecoder decoder;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
        EXPECT_FALSE(decoder.step(frame[i])) << i;
    EXPECT_EQ(decoder.step(frame.back()), wire::resetAssertWord);

    // Both bytes of a word are carried, most significant bit first.
    wire.bytes.clear();
    wire.frame(0xA55A);
    wire.frame(0x0180);
    std::vector<std::uint16_t> words;
    for (std::uint8_t pins : wire.bytes)
        if (auto word = decoder.step(pins)) words.push_back(*word);
    EXPECT_EQ(words, (std::vector<std::uint16_t>{0xA55A, 0x0180}));
}

TEST(BoardModel, DecodesRegisterWritesAtEveryPosition) {
    TestWire wire;
    wire.registerWrite(0, 0x07, 0x38);
    wire.registerWrite(1, 0x108, 0x55);
    wire.registerWrite(2, 0xFF, 0x00);
    wire.registerWrite(1, 0x28, 0x4A);
    ASSERT_EQ(wire.bytes.size(), 4 * writeSize);
    // The data-phase control byte for position 1 and address bit 8.
    EXPECT_EQ(TestWire::controlFor(1, 0x108) | 0x10, 0xFA);

    BoardModel model;
    EXPECT_EQ(model.feed(wire.bytes), (std::vector<BoardEvent>{
                                          writeAt(writeSize - 1, 0, 0x07, 0x38),
                                          writeAt(2 * writeSize - 1, 1, 0x108, 0x55),
                                          writeAt(3 * writeSize - 1, 2, 0xFF, 0x00),
                                          writeAt(4 * writeSize - 1, 1, 0x28, 0x4A),
                                      }));
}

TEST(BoardModel, FillersOnlyShiftTheTimeOfEvents) {
    TestWire wire;
    wire.registerWrite(1, 0x20, 0xC7, 5);
    wire.filler(21);
    wire.registerWrite(2, 0x20, 0xC8, 5);
    const std::size_t withFiller = writeSize + 5;

    BoardModel model;
    EXPECT_EQ(model.feed(wire.bytes),
              (std::vector<BoardEvent>{writeAt(withFiller - 1, 1, 0x20, 0xC7),
                                       writeAt(2 * withFiller + 21 - 1, 2, 0x20, 0xC8)}));
}

TEST(BoardModel, KeepsItsStateAcrossFeeds) {
    TestWire wire;
    wire.registerWrite(2, 0x14, 0x2A);
    wire.registerWrite(0, 0x08, 0x0F);
    BoardModel model;
    std::vector<BoardEvent> events;
    for (std::size_t at = 0; at < wire.bytes.size(); at += 7) {
        const std::size_t length = std::min<std::size_t>(7, wire.bytes.size() - at);
        for (BoardEvent event : model.feed({wire.bytes.data() + at, length})) {
            event.offset += at;
            events.push_back(event);
        }
    }
    EXPECT_EQ(events, (std::vector<BoardEvent>{writeAt(writeSize - 1, 2, 0x14, 0x2A),
                                               writeAt(2 * writeSize - 1, 0, 0x08, 0x0F)}));
}

TEST(BoardModel, FollowsMasksThatNameSeveralPinsAndIgnoresOtherPins) {
    const PinMasks masks{0x11, 0x02, 0x24, 0x48};
    TestWire wire{masks, 0x7F, {}};
    wire.registerWrite(1, 0x1B, 0x80);
    wire.reset();
    // Pin 7 is in no mask: it keeps its level everywhere.
    for (std::uint8_t pins : wire.bytes)
        ASSERT_EQ(pins & 0x80, 0);

    BoardModel model(masks);
    const auto events = model.feed(wire.bytes);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], writeAt(writeSize - 1, 1, 0x1B, 0x80));
    EXPECT_EQ(events[1].kind, Kind::reset);
}

TEST(BoardModel, ResetWordsResetOnceAndClearTheAddressLatches) {
    TestWire wire;
    wire.registerWrite(1, 0x28, 0x11);
    const std::size_t resetAt = wire.bytes.size() + frameSize - 1;
    wire.reset();
    // A data phase alone after the reset reaches a chip with no address.
    wire.phase(static_cast<std::uint16_t>(0x22 << 8 | TestWire::controlFor(1, 0) | 0x10));
    // While the reset line is held low the chips take nothing.
    const std::uint8_t held = TestWire::controlFor(2, 0x30) & ~0x40;
    wire.phase(static_cast<std::uint16_t>(0x30 << 8 | held));
    wire.phase(static_cast<std::uint16_t>(0x33 << 8 | held | 0x10));
    wire.frame(wire::resetReleaseWord);
    wire.registerWrite(2, 0x31, 0x44);

    BoardModel model;
    const auto events = model.feed(wire.bytes);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0], writeAt(writeSize - 1, 1, 0x28, 0x11));
    EXPECT_EQ(events[1], (BoardEvent{Kind::reset, resetAt, -1}));
    EXPECT_EQ(events[2].kind, Kind::strayData);
    EXPECT_EQ(events[2].position, 1);
    EXPECT_EQ(events[2].data, 0x22);
    EXPECT_EQ(events[3].kind, Kind::reset);
    EXPECT_EQ(events[4].kind, Kind::write);
    EXPECT_EQ(events[4].address, 0x31);
    EXPECT_EQ(events[4].data, 0x44);
}

} // namespace
