// The board models the virtual board stands in for, and the chip at each of
// their positions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace virtualboard {

enum class BoardKind { kx7m, trq05 };

struct BoardLayout {
    std::string_view name;
    std::uint32_t defaultClock;
    std::array<std::string_view, 3> chips; // chip name at positions 0 to 2
};

inline constexpr BoardLayout kx7mLayout{"KX7M", 4000000, {"YMZ294", "YM2151", "YM2151"}};
inline constexpr BoardLayout trq05Layout{"TRQ05", 3579545, {"YMZ294", "YM2413", "YM2413"}};

constexpr const BoardLayout& layoutOf(BoardKind kind) {
    return kind == BoardKind::trq05 ? trq05Layout : kx7mLayout;
}

} // namespace virtualboard
