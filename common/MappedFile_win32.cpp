// MappedFile on Windows: CreateFileW without sharing, a read-only file
// mapping named after the path's last component, and a view of all of it.
// A mapping of that name that already exists belongs to someone else (another
// file of the same name being loaded elsewhere, or any other object): the
// file is then mapped without a name, so that its own bytes are read.
#include "common/MappedFile.h"

#include <windows.h>

#include <string>

namespace {
std::wstring mappingName(const std::wstring& path) {
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
} // namespace

bool MappedFile::open(const std::filesystem::path& path) {
    close();
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file = handle;
    LARGE_INTEGER fileSize{};
    if (!GetFileSizeEx(handle, &fileSize) || fileSize.HighPart != 0) {
        close();
        return false;
    }
    const std::wstring name = mappingName(path.native());
    HANDLE map = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, name.c_str());
    if (map != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(map);
        map = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    }
    if (map == nullptr) {
        close();
        return false;
    }
    mapping = map;
    const void* address = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
    if (address == nullptr) {
        close();
        return false;
    }
    view = static_cast<const std::uint8_t*>(address);
    size = fileSize.LowPart;
    return true;
}

void MappedFile::close() {
    if (view != nullptr) UnmapViewOfFile(view);
    if (mapping != nullptr) CloseHandle(mapping);
    if (file != nullptr) CloseHandle(file);
    file = nullptr;
    mapping = nullptr;
    view = nullptr;
    size = 0;
}
