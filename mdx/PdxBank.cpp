// PdxBank: see PdxBank.h.
#include "mdx/PdxBank.h"

namespace mdx {
namespace {

std::uint32_t longAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

constexpr std::size_t lengthField = 4;

} // namespace

bool PdxBank::parse(std::vector<std::uint8_t> bytes, std::string& error) {
    bytes_ = std::move(bytes);
    entries_.clear();
    if (bytes_.size() < entrySize) {
        error = "the sample bank is too short to be a PDX bank";
        return false;
    }
    for (std::size_t e = 0; e < entryCount && (e + 1) * entrySize <= bytes_.size(); ++e) {
        Entry entry{longAt(bytes_, e * entrySize), longAt(bytes_, e * entrySize + lengthField)};
        if (entry.length == 0 || entry.offset > bytes_.size() ||
            entry.length > bytes_.size() - entry.offset)
            entry = {};
        entries_.push_back(entry);
    }
    return true;
}

std::span<const std::uint8_t> PdxBank::sample(std::size_t number) const {
    if (number >= entries_.size()) return {};
    const Entry& e = entries_[number];
    return std::span<const std::uint8_t>(bytes_).subspan(e.offset, e.length);
}

} // namespace mdx
