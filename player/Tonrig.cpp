// Tonrig: memory, file loading and the title. The port decode is in
// PortMap.cpp, interrupt delivery in InterruptDelivery.cpp.
#include "player/Tonrig.h"

#include "common/MappedFile.h"

#include <algorithm>

Tonrig::~Tonrig() = default;

bool Tonrig::loadImage(std::uint16_t address, const std::filesystem::path& path) {
    MappedFile file;
    if (!file.open(path)) return false;
    const auto bytes = file.bytes();
    if (address + bytes.size() > memorySize) return false;
    std::copy(bytes.begin(), bytes.end(), memory.begin() + address);
    return true;
}
std::string_view Tonrig::title() const {
    const auto begin = memory.begin() + titleAddress;
    const auto end = std::find(begin, memory.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(&*begin), static_cast<std::size_t>(end - begin)};
}
