// loadMdxSong and loadPdxBank: see MdxSong.h.
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

std::optional<PdxBank> loadPdxBank(const std::filesystem::path& directory, const std::string& name,
                                   std::string& message) {
    std::filesystem::path bankPath = platform::findFileIgnoringCase(directory, name);
    if (bankPath.empty() && std::filesystem::path(name).extension().empty())
        bankPath = platform::findFileIgnoringCase(directory, name + bankExtension);
    std::vector<std::uint8_t> bytes;
    PdxBank bank;
    std::string error;
    if (bankPath.empty()) {
        message = "sample bank " + name + " not found beside the song: its samples stay silent";
    } else if (!readFile(bankPath, bytes)) {
        message = "cannot read " + bankPath.string() + ": the song's samples stay silent";
    } else if (!bank.parse(std::move(bytes), error)) {
        message = bankPath.string() + ": " + error + "; the song's samples stay silent";
    } else {
        return bank;
    }
    return std::nullopt;
}

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
    if (song.file.pdxName().empty()) return song;
    if (auto bank = loadPdxBank(path.parent_path(), song.file.pdxName(), song.bankMessage)) {
        song.bank = std::move(*bank);
        song.hasBank = true;
    }
    return song;
}

} // namespace mdx
