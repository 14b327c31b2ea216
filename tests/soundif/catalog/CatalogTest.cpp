// The catalog's own consistency: what every reader of it takes for granted,
// so that a new board or chip entry that breaks it fails here rather than on
// a board.
#include "soundif/catalog/BoardLayout.h"
#include "soundif/catalog/ChipModel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

using namespace catalog;

TEST(Catalog, BoardIdsAndChipTypeCodesNameOneThingEach) {
    std::set<std::int32_t> codes;
    for (const ChipModel& model : chipModels) {
        EXPECT_GT(model.type, 0) << model.name;
        EXPECT_TRUE(codes.insert(model.type).second) << model.name;
        EXPECT_GT(model.defaultClock, 0u) << model.name;
    }
    for (const BoardLayout& board : boardLayouts) {
        EXPECT_TRUE(codes.insert(board.id).second) << board.name;
        EXPECT_EQ(&boardLayoutOf(board.id), &board);
        EXPECT_EQ(findBoardLayout(board.name), &board);
    }
    EXPECT_EQ(&boardLayoutOf(tavro::chipTypeYm2608), &barePortLayout);
    EXPECT_EQ(findBoardLayout("kx7m"), nullptr);
}

TEST(Catalog, EveryBoardPositionHoldsAKnownChipWithAClock) {
    for (const BoardLayout& board : boardLayouts) {
        ASSERT_GE(board.chipCount, 1u);
        ASSERT_LE(board.chipCount, maxChipPlaces);
        EXPECT_GT(board.defaultClock, 0u);
        for (std::size_t position = 0; position < board.chipCount; ++position) {
            const ChipPlace& place = board.chips[position];
            EXPECT_NE(findChipModel(board.typeAt(position, board.id)), nullptr)
                << board.name << " position " << position;
            EXPECT_NE(place.clock, ClockRule::none);
            EXPECT_FALSE(place.name.empty());
            EXPECT_EQ(place.altType == 0, place.altClock == ClockRule::none);
            if (place.altType != 0) {
                EXPECT_NE(findChipModel(place.altType), nullptr);
            }
        }
    }
    EXPECT_EQ(barePortLayout.typeAt(0, 77), 77);
}

TEST(Catalog, InterfaceNamesTakeThePortNumber) {
    auto nameOf = [](const BoardLayout& board, int port) {
        char name[64];
        std::snprintf(name, sizeof name, board.interfaceNameFormat, port);
        return std::string(name);
    };
    EXPECT_EQ(nameOf(boardLayoutOf(tavro::boardIdKx7m), 3), "KX7M(COM3)");
    EXPECT_EQ(nameOf(boardLayoutOf(tavro::boardIdTrq05), 12), "TRQ05(COM12)");
    EXPECT_EQ(nameOf(barePortLayout, 5), "COM5");
}

TEST(Catalog, ClockRulesHalveAsAnUnsignedNumber) {
    EXPECT_EQ(clockOf(ClockRule::boardClock, 4000001), 4000001);
    EXPECT_EQ(clockOf(ClockRule::halfBoardClock, 4000001), 2000000);
    EXPECT_EQ(clockOf(ClockRule::halfBoardClock, -2), 0x7FFFFFFF);
    EXPECT_EQ(clockOf(ClockRule::none, 4000000), 0);
}

TEST(Catalog, VgmSecondChipsFollowTheFormatsConvention) {
    for (const ChipModel& model : chipModels) {
        const VgmCommands& vgm = model.vgm;
        if (vgm.port0 == 0) {
            EXPECT_EQ(vgm.port1, 0) << model.name;
            continue;
        }
        EXPECT_GT(vgm.headerClockOffset, 0x08) << model.name;
        EXPECT_GT(vgm.addressLimit, 0) << model.name;
        if (vgm.secondByRegisterBit7) {
            EXPECT_EQ(vgm.secondPort0, vgm.port0) << model.name;
            EXPECT_LE(vgm.addressLimit, vgmSecondChipRegisterBit) << model.name;
        } else {
            EXPECT_EQ(vgm.secondPort0, vgm.port0 + 0x50) << model.name;
        }
        EXPECT_EQ(vgm.port1 != 0, vgm.addressLimit > 0x100) << model.name;
        if (vgm.port1 != 0) {
            EXPECT_EQ(vgm.secondPort1, vgm.port1 + 0x50) << model.name;
        }
    }
}

TEST(Catalog, ClientKindsOfTheChipsThePlayerDrives) {
    EXPECT_EQ(clientKindOf(tavro::chipTypeYm2151), ClientKind::opm);
    EXPECT_EQ(clientKindOf(tavro::chipTypeYm2413), ClientKind::opll);
    EXPECT_EQ(clientKindOf(tavro::chipTypePsg), ClientKind::psg);
    EXPECT_EQ(clientKindOf(tavro::chipTypeYmz294), ClientKind::other);
    EXPECT_EQ(clientKindOf(99), ClientKind::other);
}

} // namespace
