// Rendering to a WAV file through the software chips instead of a board.
#pragma once

#include <atomic>

#include "tavroplay/CommandLine.h"

namespace tavroplay {

// Renders every file of the command line, one after the other, into the
// command line's WAV file; returns the exit code. A stop request ends it.
int renderWav(const CommandLine& line, const std::atomic<bool>& stop);

} // namespace tavroplay
