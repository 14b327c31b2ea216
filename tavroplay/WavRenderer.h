// Rendering to a WAV file through the software chips instead of a board.
#pragma once

#include "tavroplay/CommandLine.h"

namespace tavroplay {

// Renders every file of the command line, one after the other, into the
// command line's WAV file; returns the exit code.
int renderWav(const CommandLine& line);

} // namespace tavroplay
