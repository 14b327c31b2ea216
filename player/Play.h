// play: everything the player does between start-up and exit. Loads the data
// file (when given) and the driver image into the machine, prints the title,
// runs the driver's entries and then the tick loop until the stop flag is
// set. Returns the exit code: 0 after a stop request, 1 when a file cannot be
// loaded (with its message on standard error).
#pragma once

#include <filesystem>
#include <optional>

#include "player/Tonrig.h"

int play(Tonrig& machine, const std::optional<std::filesystem::path>& dataPath);
