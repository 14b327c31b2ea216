// tonrig: plays a VKN music file on the sound chips through the Z80 sound
// driver VELKAN.BIN. Usage: tonrig [VKN file]; further arguments are ignored.
// Without a file the usage text goes to standard error and the driver plays
// without data. Plays until a console event (Ctrl+C, SIGTERM, ...) stops it.
#include <clocale>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "player/ConsoleStop.h"
#include "player/Play.h"
#include "player/Tonrig.h"

namespace {

// Written as UTF-8 bytes, whatever the locale says.
constexpr std::u8string_view kUsage[] = {
    u8"VKN ファイルを再生します。",
    u8"",
    u8"  TONRIG VKNファイル名",
    u8"",
    u8"再生するには VELKAN.BIN と TAVRO.DLL および対応モジュールが必要です。",
};

void writeUsage() {
    for (std::u8string_view line : kUsage) {
        std::cerr.write(reinterpret_cast<const char*>(line.data()),
                        static_cast<std::streamsize>(line.size()));
        std::cerr << std::endl;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::optional<std::filesystem::path> dataPath;
    if (argc < 2) {
        writeUsage();
    } else {
        dataPath = argv[1];
    }
    auto machine = std::make_unique<Tonrig>();
    ConsoleStopBinding stopBinding(*machine);
    return play(*machine, dataPath);
}
