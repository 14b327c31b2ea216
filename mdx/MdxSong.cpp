// loadMdxSong and loadPdxBank: see MdxSong.h.
#include "mdx/MdxSong.h"

#include "common/Platform.h"
#include "common/WholeFile.h"

namespace mdx {
namespace {

constexpr const char* bankExtension = ".PDX";
// Far above any real file: a song's offsets are 16-bit, and a bank holds 96
// samples of at most 64 KiB each (but samples may overlap).
constexpr std::size_t maximumSong = 1u << 20;
constexpr std::size_t maximumBank = 16u << 20;

// "" when read; else why not, as the system gave it.
std::string readFile(const std::filesystem::path& path, std::size_t limit,
                     std::vector<std::uint8_t>& bytes) {
    return platform::fileFaultText(platform::readWholeFile(path, limit, bytes));
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
    } else if (const std::string fault = readFile(bankPath, maximumBank, bytes); !fault.empty()) {
        message = bankPath.string() + ": " + fault + ": the song's samples stay silent";
    } else if (!bank.parse(std::move(bytes), error)) {
        message = bankPath.string() + ": " + error + "; the song's samples stay silent";
    } else {
        return bank;
    }
    return std::nullopt;
}

std::optional<MdxSong> loadMdxSong(const std::filesystem::path& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (const std::string fault = readFile(path, maximumSong, bytes); !fault.empty()) {
        error = path.string() + ": " + fault;
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
