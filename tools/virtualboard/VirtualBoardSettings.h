// The virtual board's settings, all from environment variables:
//   TAVRO_VB_PORTS  comma-separated COM numbers of the devices it reports, in
//                   device index order (default "1"; empty: no devices)
//   TAVRO_VB_BUSY   comma-separated COM numbers whose open fails, as if another
//                   process held them
//   TAVRO_VB_MODEL  a board model of the catalog, KX7M (default) or TRQ05, for
//                   every port; or per port, "1:KX7M,2:TRQ05", with an entry
//                   without a port for the others ("TRQ05,3:KX7M")
//   TAVRO_VB_CLOCK  board clock in Hz for every port (default: each board
//                   model's, 4000000 for KX7M, 3579545 for TRQ05)
//   TAVRO_VB_MASKS  S,D,C,R pin masks (default 1,2,4,8; decimal or 0x hex)
//   TAVRO_VB_LOG    path of the event log (none when unset)
//   TAVRO_VB_VGM    path of the VGM file (none when unset)
//   TAVRO_VB_AUDIO  "default" or a sound-server device name: play the board
//                   live (none when unset or empty)
//   TAVRO_VB_WAV    path of a WAV file (FLAC when it ends in .flac) of the
//                   board's sound (none when unset)
// Entries that cannot be read are ignored and leave the default.
#pragma once

#include "soundif/catalog/BoardLayout.h"
#include "tools/virtualboard/BoardModel.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace virtualboard {

struct VirtualBoardSettings {
    std::vector<std::int32_t> ports{1};
    std::vector<std::int32_t> busyPorts;
    const catalog::BoardLayout* board = &catalog::boardLayoutOf(tavro::boardIdKx7m);
    std::map<std::int32_t, const catalog::BoardLayout*> boardByPort; // overrides board
    std::uint32_t clock = 0;                                         // 0: each board model's own

    const catalog::BoardLayout& boardFor(std::int32_t port) const {
        const auto found = boardByPort.find(port);
        return found != boardByPort.end() ? *found->second : *board;
    }
    std::uint32_t clockFor(std::int32_t port) const {
        return clock != 0 ? clock : boardFor(port).defaultClock;
    }
    wire::PinMasks masks;
    std::string logPath;
    std::string vgmPath;
    std::string audioDevice;
    std::string wavPath;
};

VirtualBoardSettings readVirtualBoardSettings();

} // namespace virtualboard
