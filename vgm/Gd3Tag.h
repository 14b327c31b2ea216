// Gd3Tag: a VGM file's GD3 tag, its UTF-16LE texts decoded to UTF-8.
//
//   "Gd3 " | version 0x100 | length | 11 NUL-terminated UTF-16LE texts:
//   track, track (Japanese), game, game (Japanese), system, system
//   (Japanese), author, author (Japanese), date, ripper, notes
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vgm {

struct Gd3Tag {
    std::string track, trackJapanese, game, gameJapanese, system, systemJapanese, author,
        authorJapanese, date, ripper, notes;

    // The English text, or the Japanese one where the English is empty.
    static const std::string& preferred(const std::string& english, const std::string& japanese) {
        return english.empty() ? japanese : english;
    }
};

// Decodes the tag at offset of file; nothing when there is no well-formed
// tag there, with fault saying why. Unpaired surrogates become U+FFFD; texts
// that run past the tag's length are cut at it. A tag that the file's end cuts
// short gives the texts that are whole and sets fault.
std::optional<Gd3Tag> readGd3Tag(std::span<const std::uint8_t> file, std::size_t offset,
                                 std::string& fault);

// UTF-16LE (little-endian code units) to UTF-8.
std::string utf8FromUtf16(std::span<const std::uint16_t> units);

} // namespace vgm
