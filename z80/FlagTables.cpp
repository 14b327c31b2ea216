// Construction of the process-wide flag tables (see FlagTables.h).
#include "z80/FlagTables.h"

namespace z80 {
namespace {

std::uint8_t tablesBuilt = 0;

} // namespace

void buildFlagTables() {
    if (tablesBuilt != 0) return;
    for (unsigned v = 0; v < 256; ++v) {
        std::uint8_t p = v != 0 ? flagPV : flagZ | flagPV;
        if ((v & 0x80) != 0) p |= flagS;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((v >> bit) & 1) p ^= flagPV;
        }
        szpFlags[v] = p;
        const std::uint8_t q = p & ~flagPV;
        szFlags[v] = q;
        szcFlags[v] = q | flagC;
        incFlags[(v - 1) & 0xFF] = q | ((v & 0x0F) == 0 ? flagH : 0);
        decFlags[(v + 1) & 0xFF] = q | flagN | ((v & 0x0F) == 0x0F ? flagH : 0);
    }
    incFlags[0x7F] |= flagPV;
    decFlags[0x80] |= flagPV;
    tablesBuilt = 1;
}

} // namespace z80
