// Reading a whole file that a user named (a song, a playlist) into memory,
// safely: the open never blocks (a FIFO or a device is refused as "not a
// regular file" before anything is read), a file over the caller's limit is
// refused by its size before it is read, and every other failure keeps the
// cause the system gave (no such file, a loop of symbolic links, no
// permission), so that messages name the real fault.
//
//   std::vector<std::uint8_t> bytes;
//   if (auto fault = platform::readWholeFile(path, limit, bytes); fault != FileFault::none)
//       report(platform::fileFaultText(fault));
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace platform {

enum class FileFault {
    none,
    missing,    // no such file (or a folder on its path is missing)
    linkLoop,   // symbolic links that point at one another
    denied,     // no permission to read it
    directory,  // a folder
    notRegular, // a FIFO, device, socket
    tooLarge,   // larger than the limit
    unreadable, // any other failure to open or read it
};

// Reads the whole of a regular file into bytes (replacing what they held);
// on a fault bytes are left empty.
FileFault readWholeFile(const std::filesystem::path& path, std::size_t limit,
                        std::vector<std::uint8_t>& bytes);

// A short text for a fault, e.g. "not a regular file"; empty for none.
const char* fileFaultText(FileFault fault);

} // namespace platform
