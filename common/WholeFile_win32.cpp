// Reading a whole file on Windows: the attributes first (a folder), then
// CreateFileW shared for reading and GetFileType, which tells a disk file
// from a pipe or a device before anything is read.
#include "common/WholeFile.h"

#include <windows.h>

namespace platform {

namespace {

FileFault faultOfError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return FileFault::missing;
    case ERROR_CANT_RESOLVE_FILENAME: return FileFault::linkLoop;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return FileFault::denied;
    default: return FileFault::unreadable;
    }
}

} // namespace

FileFault readWholeFile(const std::filesystem::path& path, std::size_t limit,
                        std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return faultOfError(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileFault::directory;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return faultOfError(GetLastError());
    FileFault fault = FileFault::none;
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        fault = FileFault::notRegular;
    } else if (!GetFileSizeEx(file, &size)) {
        fault = FileFault::unreadable;
    } else if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
        fault = FileFault::tooLarge;
    } else {
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
        std::uint8_t buffer[65536];
        DWORD count = 0;
        while (true) {
            if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
                fault = FileFault::unreadable;
                break;
            }
            if (count == 0) break;
            if (bytes.size() + count > limit) {
                fault = FileFault::tooLarge;
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + count);
        }
    }
    CloseHandle(file);
    if (fault != FileFault::none) bytes.clear();
    return fault;
}

} // namespace platform
