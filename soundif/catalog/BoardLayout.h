// The interface board models the system knows, by board id (the INI key
// "SLOT_00_CHIP_ID"): the interface name, the default waits of the wire, the
// clock offered by default, and the chip at each position with its name,
// type, alternate type and clocks. Any id that is neither 0 (no board) nor a
// model's id is a bare port carrying one chip whose type code is the id.
// Constant data only; adding a board model means adding one entry.
#pragma once

#include "soundif/catalog/ChipModel.h"
#include "tavro/SoundInterface.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace catalog {

// A chip's clock from the board clock K: K itself, or K shifted right by one
// bit as an unsigned number.
enum class ClockRule { none, boardClock, halfBoardClock };

constexpr std::int32_t clockOf(ClockRule rule, std::int32_t boardClock) {
    switch (rule) {
    case ClockRule::boardClock: return boardClock;
    case ClockRule::halfBoardClock:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(boardClock) >> 1);
    case ClockRule::none: break;
    }
    return 0;
}

// Stands for the board id as the chip type (bare port).
inline constexpr std::int32_t typeFromBoardId = -1;

// One chip position of a board.
struct ChipPlace {
    std::string_view name; // the chip's name in its SoundChipInfo
    std::int32_t type;     // chip type code, or typeFromBoardId
    ClockRule clock;
    std::int32_t altType; // first alternate type code; 0 for none
    ClockRule altClock;
    std::int32_t attribute; // SoundChipInfo attribute
};

inline constexpr std::size_t maxChipPlaces = 3;

struct BoardLayout {
    std::int32_t id;                 // board id; 0 for the bare port entry
    std::string_view name;           // as the board setup dialog and the virtual board name it
    const char* interfaceNameFormat; // printf format of the interface name, COM port number
    std::uint32_t addressWait;       // default wait after an address phase
    std::uint32_t dataWait;          // default wait after a data phase
    std::uint32_t defaultClock;      // Hz; 0 for the bare port (its chip model's)
    std::size_t chipCount;
    std::array<ChipPlace, maxChipPlaces> chips; // by position

    // The chip type code at a position on a board of this layout with this id.
    constexpr std::int32_t typeAt(std::size_t position, std::int32_t boardId) const {
        const std::int32_t type = chips[position].type;
        return type == typeFromBoardId ? boardId : type;
    }
};

inline constexpr ChipPlace ssgPlace{.name = "SSG",
                                    .type = tavro::chipTypeYmz294,
                                    .clock = ClockRule::boardClock,
                                    .altType = tavro::chipTypePsg,
                                    .altClock = ClockRule::halfBoardClock,
                                    .attribute = 0};

constexpr ChipPlace fmPlace(std::string_view name, std::int32_t type) {
    return {.name = name,
            .type = type,
            .clock = ClockRule::boardClock,
            .altType = 0,
            .altClock = ClockRule::none,
            .attribute = 3};
}

// The board models, in the order in which the board setup dialog offers them.
inline constexpr std::array<BoardLayout, 2> boardLayouts{{
    {.id = tavro::boardIdKx7m,
     .name = "KX7M",
     .interfaceNameFormat = "KX7M(COM%d)",
     .addressWait = 5,
     .dataWait = 21,
     .defaultClock = 4000000,
     .chipCount = 3,
     .chips = {ssgPlace, fmPlace("OPM", tavro::chipTypeYm2151),
               fmPlace("OPM", tavro::chipTypeYm2151)}},
    {.id = tavro::boardIdTrq05,
     .name = "TRQ05",
     .interfaceNameFormat = "TRQ05(COM%d)",
     .addressWait = 10,
     .dataWait = 60,
     .defaultClock = 3579545,
     .chipCount = 3,
     .chips = {ssgPlace, fmPlace("OPLL", tavro::chipTypeYm2413),
               fmPlace("OPLL", tavro::chipTypeYm2413)}},
}};

// Any other board id: one chip of that type code at position 0.
inline constexpr BoardLayout barePortLayout{.id = 0,
                                            .name = "",
                                            .interfaceNameFormat = "COM%d",
                                            .addressWait = 5,
                                            .dataWait = 15,
                                            .defaultClock = 0,
                                            .chipCount = 1,
                                            .chips = {fmPlace("FM", typeFromBoardId)}};

// The layout for a board id other than 0.
constexpr const BoardLayout& boardLayoutOf(std::int32_t boardId) {
    for (const BoardLayout& layout : boardLayouts)
        if (layout.id == boardId) return layout;
    return barePortLayout;
}

// The board model with this name (exact case); null when there is none.
constexpr const BoardLayout* findBoardLayout(std::string_view name) {
    for (const BoardLayout& layout : boardLayouts)
        if (layout.name == name) return &layout;
    return nullptr;
}

} // namespace catalog
