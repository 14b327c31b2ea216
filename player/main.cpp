// tonrig: plays a VKN music file on the sound chips through the Z80 sound
// driver VELKAN.BIN. Usage: tonrig [VKN file]; further arguments are ignored.
// Without a file the usage text goes to standard error and the driver plays
// without data. Plays until a console event (Ctrl+C, SIGTERM, ...) stops it.
//
// The usage text is wide text: on Windows it goes out through the
// "Japanese_Japan.932" locale as code page 932, elsewhere as UTF-8.
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "common/Platform.h"
#include "player/ConsoleStop.h"
#include "player/Play.h"
#include "player/Tonrig.h"

namespace {

constexpr std::wstring_view usageText[] = {
    L"VKN ファイルを再生します。",
    L"",
    L"  TONRIG VKNファイル名",
    L"",
    L"再生するには VELKAN.BIN と TAVRO.DLL および対応モジュールが必要です。",
};

template <typename Char> int run(int argc, Char** argv) {
    platform::ignoreClosedPipes();
    platform::setConsoleLocale();
    std::optional<std::filesystem::path> dataPath;
    if (argc < 2) {
        for (std::wstring_view line : usageText)
            platform::writeErrorLine(line);
    } else {
        dataPath = argv[1];
    }
    installConsoleStop();
    auto machine = std::make_unique<Tonrig>();
    // Declared after the machine, so it ends first: no console event can
    // reach the machine while it is destroyed.
    ConsoleStopBinding stopBinding(*machine);
    return play(*machine, dataPath);
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return run(argc, argv);
}
#else
int main(int argc, char** argv) {
    return run(argc, argv);
}
#endif
