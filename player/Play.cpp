// play: the player's start-up order and play loop; see Play.h.
//
// The driver image is looked for as "VELKAN.BIN" in the current directory.
// Console output errors are ignored. A stop request also cuts the pauses
// between the driver entries short, and the CPU's stop request ends a driver
// call that does not return, so the player always ends promptly; the chips
// and the library are released on that path too.
#include "player/Play.h"

#include <iostream>

#include "client/SystemTime.h"
#include "common/ThreadScheduling.h"
#include "player/ConsoleStop.h"
#include "player/ExternalChipSet.h"
#include "player/TickLoop.h"

namespace {
constexpr const char* driverFile = "VELKAN.BIN";
constexpr std::uint32_t entryPauseMilliseconds = 50;

// The chips the driver writes to: library chip type and clock in Hz.
struct ChipRequest {
    int type;
    int clock;
};
constexpr ChipRequest opm1Request{tavro::chipTypeYm2151, 4000000};
constexpr ChipRequest opm2Request{tavro::chipTypeYm2151, 4000000};
constexpr ChipRequest psgRequest{tavro::chipTypePsg, 2000000};
} // namespace

int play(Tonrig& machine, const std::optional<std::filesystem::path>& dataPath) {
    if (dataPath && !machine.loadImage(Tonrig::dataAddress, *dataPath)) {
        std::cerr << "Cloudn't open file." << std::endl;
        return 1;
    }
    if (!machine.loadImage(Tonrig::driverAddress, driverFile)) {
        std::cerr << "Cloudn't open VELKAN.BIN." << std::endl;
        return 1;
    }
    std::cout << machine.title() << std::endl;

    machine.opm1 = externalChipSet.requestChip(opm1Request.type, opm1Request.clock);
    machine.opm2 = externalChipSet.requestChip(opm2Request.type, opm2Request.clock);
    machine.psg = externalChipSet.requestChip(psgRequest.type, psgRequest.clock);

    // This thread keeps the CTC's time from here on.
    platform::requestRealTimeScheduling();
    SystemTime time;
    time.start();
    machine.callSubroutine(Tonrig::driverAddress);
    pauseFor(time, entryPauseMilliseconds, stopFlag);
    machine.callSubroutine(dataPath ? Tonrig::driverEntryWithData : Tonrig::driverEntryWithoutData);
    pauseFor(time, entryPauseMilliseconds, stopFlag);

    runTickLoop(time, stopFlag, [&machine] { machine.tick(); });

    machine.opm1 = machine.opm2 = machine.psg = nullptr;
    externalChipSet.releaseAll();
    return 0;
}
