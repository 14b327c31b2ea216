// Reading any song file; see Song.h.
#include "songs/Song.h"

#include <algorithm>

#include "songs/MdxSource.h"
#include "songs/S98Source.h"
#include "songs/VgmSource.h"

namespace songs {
namespace {

// A VGM file or a gzip stream (a VGZ): MDX, having no magic number, is tried
// only on other files.
bool looksLikeVgm(std::span<const std::uint8_t> bytes) {
    constexpr std::string_view vgmMagic = "Vgm ";
    return vgm::isGzip(bytes) || (bytes.size() >= vgmMagic.size() &&
                                  std::equal(vgmMagic.begin(), vgmMagic.end(), bytes.begin()));
}

std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

std::string_view typeName(ChipType type) {
    switch (type) {
    case ChipType::ym2151: return "YM2151";
    case ChipType::ym2413: return "YM2413";
    case ChipType::ssg: return "SSG";
    case ChipType::ym2203: return "YM2203";
    case ChipType::ym2608: return "YM2608";
    case ChipType::ym2612: return "YM2612";
    case ChipType::sn76489: return "SN76489";
    case ChipType::msm6258: return "MSM6258";
    case ChipType::other: break;
    }
    return "other";
}

bool Song::writesTo(std::size_t chip) const {
    return std::any_of(writes.begin(), writes.end(),
                       [chip](const SongWrite& write) { return write.chip == chip; });
}

std::optional<Song> parseSong(std::vector<std::uint8_t> bytes, std::string& error) {
    if (isS98(bytes)) return readS98(bytes, error);
    if (!looksLikeVgm(bytes)) {
        if (isMdx(bytes)) return readMdx(bytes, error);
        error = "not a song file (neither a VGM nor an S98 header, nor an MDX song)";
        return std::nullopt;
    }
    std::optional<vgm::VgmFile> file = vgm::VgmFile::parse(std::move(bytes), error);
    if (!file) return std::nullopt;
    return songOfVgm(*file);
}

std::optional<Song> loadSong(const std::filesystem::path& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!vgm::readFileBytes(path, bytes, error)) return std::nullopt;
    // An MDX song's samples are in a bank beside it; a file named .mdx that
    // is nothing else is read as one, so that its fault is the MDX reader's.
    const std::string extension = lowerExtension(path);
    if (!looksLikeVgm(bytes) && !isS98(bytes) && (extension == ".mdx" || isMdx(bytes)))
        return readMdx(bytes, error,
                       path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
    return parseSong(std::move(bytes), error);
}

bool isSongFileName(const std::filesystem::path& path) {
    const std::string extension = lowerExtension(path);
    return extension == ".vgm" || extension == ".vgz" || extension == ".s98" || extension == ".mdx";
}

} // namespace songs
