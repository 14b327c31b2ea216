// tavroplay's program: options, then the files played on the boards (or
// rendered to a WAV file), one after the other. Returns the exit code: 0, or
// 1 when any file could not be played (or nothing could be played at all).
#pragma once

#include <string>
#include <vector>

namespace tavroplay {

int runProgram(const std::vector<std::string>& arguments);

} // namespace tavroplay
