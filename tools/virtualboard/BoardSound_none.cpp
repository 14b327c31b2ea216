// BoardSound on a system where the virtual board has no sound: the resampling,
// sound-file and sound-server libraries it is built on exist for Linux alone.
#include "tools/virtualboard/BoardSound.h"

#include <cstdio>

namespace virtualboard {

std::unique_ptr<BoardSound> BoardSound::start(const Settings& settings,
                                              std::chrono::steady_clock::time_point, double) {
    if (!settings.audioDevice.empty() || !settings.wavPath.empty())
        std::fprintf(stderr, "virtual board: no sound on this system; going on silently\n");
    return nullptr;
}

} // namespace virtualboard
