// Tonrig: memory, file loading and the title. The port decode is in
// PortMap.cpp, interrupt delivery in InterruptDelivery.cpp.
//
// Loading reads the whole file through the standard library. Unlike a
// platform with exclusive opens, a file that another program has open can
// still be loaded here.
#include "player/Tonrig.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

Tonrig::~Tonrig() = default;

bool Tonrig::loadImage(std::uint16_t address, const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;

    // Read one byte more than fits, so an oversized file shows without
    // reading all of it.
    const std::size_t room = kMemorySize - address;
    std::vector<char> contents(room + 1);
    file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    const auto size = static_cast<std::size_t>(file.gcount());
    if (file.bad() || size == 0 || size > room) return false;

    std::copy_n(contents.begin(), size, memory.begin() + address);
    return true;
}

std::string_view Tonrig::title() const {
    const auto begin = memory.begin() + kTitleAddress;
    const auto end = std::find(begin, memory.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(&*begin), static_cast<std::size_t>(end - begin)};
}
