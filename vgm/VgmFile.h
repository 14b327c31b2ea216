// VgmFile: one VGM file in memory, checked as a whole before anything plays:
// the header read by its version, the GD3 tag, and one pass over the command
// stream that proves it well formed and finds which chips it writes to. The
// commands end at the end command, and never reach past the tag's start or
// the file's end. A file whose music is whole plays even where its header is
// off (see warning()); one whose music is not is refused.
//
//   std::string error;
//   if (auto file = vgm::VgmFile::load("song.vgz", error)) ... else report(error);
//
// .vgz files (gzip) are unpacked with zlib.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "vgm/CommandReader.h"
#include "vgm/Gd3Tag.h"
#include "vgm/VgmHeader.h"

namespace vgm {

class VgmFile {
public:
    // Reads and checks a file; on failure gives nothing and error says why,
    // without the file name ("truncated: ...", "not a VGM file ...").
    static std::optional<VgmFile> load(const std::filesystem::path& path, std::string& error);
    // The same for bytes already in memory (gzip-compressed or not).
    static std::optional<VgmFile> parse(std::vector<std::uint8_t> bytes, std::string& error);

    const VgmHeader& header() const { return header_; }
    const std::optional<Gd3Tag>& tag() const { return tag_; }
    // What was wrong with a file that plays all the same (an end-of-file
    // field off by 4, a tag cut short, a loop offset that is not at a
    // command, played without its loop), as one line; empty for a sound file.
    const std::string& warning() const { return warning_; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    // A reader at the first command.
    CommandReader commands() const {
        return CommandReader(bytes_, header_.dataStart, header_.dataEnd, header_.version);
    }

    // Whether the stream writes to the first (index 0) or second chip of a kind.
    bool writesTo(VgmChip chip, int index) const {
        return used_[static_cast<std::size_t>(chip)][index];
    }
    // Samples from the first command to the end command, and from the loop
    // start to the end command (0 without a loop), as the stream gives them.
    std::uint64_t streamSamples() const { return streamSamples_; }
    std::uint64_t streamLoopSamples() const { return streamLoopSamples_; }

private:
    VgmFile() = default;

    std::vector<std::uint8_t> bytes_;
    VgmHeader header_;
    std::optional<Gd3Tag> tag_;
    std::string warning_;
    std::array<std::array<bool, 2>, chipCount> used_{};
    std::uint64_t streamSamples_ = 0;
    std::uint64_t streamLoopSamples_ = 0;
};

// The largest file a song reader takes (unpacked): the largest real ones are
// a few megabytes.
inline constexpr std::size_t maximumFileSize = 256u << 20;

// Reads a whole file of at most limit bytes, refusing a larger one by its
// size and a FIFO or device without waiting on it; false with error set
// (without the file name: "no such file", "not a regular file", ...)
// otherwise.
bool readFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   std::string& error, std::size_t limit = maximumFileSize);

// Whether bytes start as a gzip stream does.
bool isGzip(std::span<const std::uint8_t> bytes);

// Unpacks a whole gzip stream (several members allowed) into out, at most
// limit bytes. False with error set on a corrupt or truncated stream or one
// that unpacks to more than limit.
bool gunzip(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, std::string& error,
            std::size_t limit);

} // namespace vgm
