// saveFile: replaces the content of a file that others may have set up with
// care, as an editor should (POSIX systems; Windows programs write their INI
// file through the system's profile functions instead).
//
// - A symbolic link is followed to the file it names (through any chain of
//   links, relative ones against their own directory); the link stays a link
//   and the file it names gets the new content.
// - An existing file keeps its permission bits and, where the process may set
//   them, its owner and group.
// - Normally a complete new file is written beside the target, flushed to the
//   disk, given the target's mode and owner and renamed over it, so that the
//   file is at every moment either the old or the new one.
// - Where that cannot be had (the directory takes no new file, the owner
//   cannot be kept, or the file has other names, hard links, that would keep
//   the old content) but the file itself is writable, the file is written in
//   place: the whole new content from its start, then cut to its length and
//   flushed; it is never emptied first.
// - A file that exists but may not be written, or is not a regular file, is
//   not touched and the save fails. A missing file is created with the
//   permissions the process's file mode mask allows.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// True when path (or the file its links lead to) holds content afterwards.
bool saveFile(const std::filesystem::path& path, std::string_view content);

} // namespace platform
