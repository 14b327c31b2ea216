// loadMdxSong: see MdxSong.h.
#include "mdx/MdxSong.h"

#include <fstream>
#include <iterator>

#include "common/Platform.h"

namespace mdx {
namespace {

constexpr const char* bankExtension = ".PDX";

bool readFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

std::optional<MdxSong> loadMdxSong(const std::filesystem::path& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFile(path, bytes)) {
        error = "cannot read " + path.string();
        return std::nullopt;
    }
    auto file = MdxFile::parse(bytes, error);
    if (!file) {
        error = path.string() + ": " + error;
        return std::nullopt;
    }
    MdxSong song{std::move(*file), {}, false, {}};
    const std::string& name = song.file.pdxName();
    if (name.empty()) return song;
    std::filesystem::path directory = path.parent_path();
    std::filesystem::path bankPath = platform::findFileIgnoringCase(directory, name);
    if (bankPath.empty() && std::filesystem::path(name).extension().empty())
        bankPath = platform::findFileIgnoringCase(directory, name + bankExtension);
    std::vector<std::uint8_t> bankBytes;
    if (bankPath.empty()) {
        song.bankMessage =
            "sample bank " + name + " not found beside the song: its samples stay silent";
    } else if (!readFile(bankPath, bankBytes)) {
        song.bankMessage = "cannot read " + bankPath.string() + ": the song's samples stay silent";
    } else if (std::string bankError; !song.bank.parse(std::move(bankBytes), bankError)) {
        song.bankMessage =
            bankPath.string() + ": " + bankError + "; the song's samples stay silent";
    } else {
        song.hasBank = true;
    }
    return song;
}

} // namespace mdx
