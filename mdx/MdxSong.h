// loadMdxSong: an MDX song read from a file with the PDX sample bank it
// names; loadPdxBank: that bank, looked for in a directory whatever the
// case of its name (and with ".PDX" added when the name has no extension).
// A missing or unreadable bank is not an error: the song plays without its
// samples and the message says why.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "mdx/MdxFile.h"
#include "mdx/PdxBank.h"

namespace mdx {

struct MdxSong {
    MdxFile file;
    PdxBank bank;
    bool hasBank = false;
    std::string bankMessage;
};

std::optional<MdxSong> loadMdxSong(const std::filesystem::path& path, std::string& error);

// The bank of that name in the directory; nothing, with message set, when
// it is not there or cannot be read.
std::optional<PdxBank> loadPdxBank(const std::filesystem::path& directory, const std::string& name,
                                   std::string& message);

} // namespace mdx
