// loadResourceString on Windows: the string resources of the module this
// code is linked into (TAVRO.DLL, or a test program with the library's
// resources), by block.
#include "soundif/dialogs/win32/ResourceStrings.h"

#include "common/WideText.h"
#include "soundif/dialogs/DialogResources.h"

#include <algorithm>

std::string loadStringResource(HMODULE module, std::uint32_t id) {
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (block == nullptr) return {};
    const std::size_t units = SizeofResource(module, block) / sizeof(WCHAR);
    HGLOBAL loaded = LoadResource(module, block);
    const auto* text =
        static_cast<const WCHAR*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (text == nullptr) return {};
    std::size_t at = 0;
    for (std::uint32_t skip = id % 16; skip > 0 && at < units; --skip)
        at += 1 + text[at];
    if (at >= units) return {};
    const std::size_t length = std::min<std::size_t>(text[at], units - at - 1);
    return platform::utf8Text(std::wstring_view(text + at + 1, length));
}

std::string loadResourceString(std::uint32_t id) {
    HMODULE own = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&loadResourceString), &own))
        return {};
    return loadStringResource(own, id);
}
