// Fuzzes the playlist reader: any bytes give entries that each name a file
// (beside the playlist when relative) or carry a fault, one at most per line,
// and never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tavroplay/CommandLine.h"

namespace {

const std::filesystem::path& playlistPath() {
    static const std::filesystem::path path = [] {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() /
            ("fuzz-playlist-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(folder);
        return folder / "list.m3u";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& path = playlistPath();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::size_t lines = 1;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '\n') ++lines;
    const std::vector<tavroplay::PlayItem> items = tavroplay::readPlaylist(path);
    if (items.size() > lines + 1) std::abort();
    for (const tavroplay::PlayItem& item : items) {
        if (item.path.empty()) std::abort();
        if (item.fault.empty() && item.path.is_relative()) std::abort();
    }
    return 0;
}
