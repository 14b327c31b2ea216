// BoardReport: why each board of the library's INI file is or is not open,
// in words for users: the file read (the one the library loaded beside
// itself, or the user's own), each board section with its board type and
// clock and what became of it (open; not attached; held by another program;
// no board type or no clock in its section; the device functions missing),
// and the devices attached that have no section. tavroplay shows it with
// --list, and when no board could be opened, in place of a bare "no board".
//
//   BoardReport report = BoardReport::look(iniPath, diagnosis, openedPorts);
//   for (const std::string& line : report.lines()) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "soundif/diagnosis/DeviceDiagnosis.h"

namespace tavroplay {

class BoardReport {
public:
    // iniPath: the file the library reads; devices: the devices attached,
    // when they were looked at (not while the library holds its boards);
    // openedPorts: the COM numbers of the boards the library has open.
    static BoardReport look(const std::filesystem::path& iniPath,
                            const diagnosis::Diagnosis* devices,
                            const std::set<std::int32_t>& openedPorts);

    // "Settings read from PATH", then one line per board section and per
    // attached device without one.
    const std::vector<std::string>& lines() const { return lines_; }
    // Whether a configured board is closed or cannot play (no clock).
    bool anyProblem() const { return problem_; }

private:
    std::vector<std::string> lines_;
    bool problem_ = false;
};

// The COM number in an interface name such as "KX7M(COM3)" or "COM3"; 0 when none.
std::int32_t portOfInterfaceName(const std::string& name);

} // namespace tavroplay
