// play: the player's start-up order and play loop; see Play.h.
//
// The driver image is looked for as "VELKAN.BIN" in the current directory.
// Console output errors are ignored. A stop request also cuts the pauses
// between the driver entries short, and the CPU's stop request ends a driver
// call that does not return, so the player always ends promptly.
#include "player/Play.h"

#include <iostream>

#include "player/ConsoleStop.h"
#include "player/SystemTime.h"
#include "player/TickLoop.h"

namespace {
constexpr const char* kDriverFile = "VELKAN.BIN";
constexpr std::uint32_t kEntryPauseMilliseconds = 50;
} // namespace

int play(Tonrig& machine, const std::optional<std::filesystem::path>& dataPath) {
    if (dataPath && !machine.loadImage(Tonrig::kDataAddress, *dataPath)) {
        std::cerr << "Cloudn't open file." << std::endl;
        return 1;
    }
    if (!machine.loadImage(Tonrig::kDriverAddress, kDriverFile)) {
        std::cerr << "Cloudn't open VELKAN.BIN." << std::endl;
        return 1;
    }
    std::cout << machine.title() << std::endl;

    SystemTime time;
    time.start();
    machine.callSubroutine(Tonrig::kDriverAddress);
    pauseFor(time, kEntryPauseMilliseconds, stopFlag);
    machine.callSubroutine(dataPath ? Tonrig::kDriverEntryWithData
                                    : Tonrig::kDriverEntryWithoutData);
    pauseFor(time, kEntryPauseMilliseconds, stopFlag);

    runTickLoop(time, stopFlag, [&machine] { machine.tick(); });
    return 0;
}
