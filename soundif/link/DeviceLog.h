// The opt-in diagnostic log of device errors. TAVRO_LOG names a file that
// lines are appended to, or "-" for standard error; unset or empty, nothing is
// written (the default: the library stays silent toward players). The
// variable is read for every line, and lines are rare: a board logs the first
// failure of a run of failed writes and the write that works again.
//
// A line: UTC time with milliseconds, the board's COM number, what happened,
// e.g. "2026-12-08T09:41:15.123Z COM3040 write of 1944 bytes failed: the
// device is gone (unplugged?) (status 2)".
#pragma once

#include <cstdint>
#include <string>

namespace devicelog {

// Appends one line for the board with this COM number.
void write(std::int32_t port, const std::string& message);

} // namespace devicelog
