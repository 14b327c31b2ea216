// PdxBank: the ADPCM sample bank an MDX song names: a table of 8-byte
// entries (big-endian offset and length of each sample's data in the file;
// a zero length is no sample), 96 of them, then the 4-bit OKI ADPCM data.
// A sample whose data lies outside the file is dropped; a bank too short for
// its table keeps the entries it has.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mdx {

class PdxBank {
public:
    static constexpr std::size_t entryCount = 96;
    static constexpr std::size_t entrySize = 8;

    // False (with a message) when the bytes hold no table at all.
    bool parse(std::vector<std::uint8_t> bytes, std::string& error);

    std::size_t sampleCount() const { return entries_.size(); }
    // The ADPCM bytes of a sample; empty when there is none.
    std::span<const std::uint8_t> sample(std::size_t number) const;

private:
    struct Entry {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    std::vector<std::uint8_t> bytes_;
    std::vector<Entry> entries_;
};

} // namespace mdx
