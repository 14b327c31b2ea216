// Private-profile access on Windows: see Profile.h. The file path is handed to
// the calls as it is; a relative one is taken by the platform as relative to
// the Windows folder, so callers give full paths.
#include "common/Profile.h"

#include "common/WideText.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>

namespace platform {

std::filesystem::path profilePathBeside(const void* addressInModule) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(addressInModule), &module))
        return {};
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    if (!PathRenameExtensionW(path, L".ini")) return {};
    return std::filesystem::path(path);
}

std::int32_t profileInt(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, std::int32_t fallback) {
    return static_cast<std::int32_t>(GetPrivateProfileIntW(
        wideText(section).c_str(), wideText(key).c_str(), fallback, path.c_str()));
}

std::vector<std::string> profileSectionNames(const std::filesystem::path& path) {
    std::wstring buffer(256, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileStringW(nullptr, nullptr, L"", buffer.data(),
                                          static_cast<DWORD>(buffer.size()), path.c_str());
        if (length + 2 < buffer.size()) break;
        buffer.assign(buffer.size() * 2, L'\0');
    }
    buffer.resize(length);
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < buffer.size()) {
        const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
        if (end == start) break;
        names.push_back(utf8Text(std::wstring_view(buffer).substr(start, end - start)));
        start = end + 1;
    }
    return names;
}

bool writeProfileString(const std::filesystem::path& path, const std::string& section,
                        const std::string& key, const std::string& value) {
    return WritePrivateProfileStringW(wideText(section).c_str(), wideText(key).c_str(),
                                      wideText(value).c_str(), path.c_str()) != FALSE;
}

} // namespace platform
