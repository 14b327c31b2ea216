// MdxFile: see MdxFile.h.
#include "mdx/MdxFile.h"

namespace mdx {
namespace {

constexpr std::uint8_t titleEnd[] = {0x0D, 0x0A, 0x1A};
constexpr std::size_t offsetSize = 2;

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

} // namespace

std::optional<MdxFile> MdxFile::parse(std::span<const std::uint8_t> bytes, std::string& error) {
    MdxFile file;
    std::size_t at = 0;
    while (at + 2 < bytes.size() && !(bytes[at] == titleEnd[0] && bytes[at + 1] == titleEnd[1] &&
                                      bytes[at + 2] == titleEnd[2]))
        ++at;
    if (at + 2 >= bytes.size()) {
        error = "not an MDX song (no title end)";
        return std::nullopt;
    }
    file.title_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    at += sizeof titleEnd;
    std::size_t nameStart = at;
    while (at < bytes.size() && bytes[at] != 0)
        ++at;
    if (at >= bytes.size()) {
        error = "MDX song cut short in the sample bank name";
        return std::nullopt;
    }
    file.pdxName_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(nameStart),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at));
    std::span<const std::uint8_t> body = bytes.subspan(at + 1);
    if (body.size() < offsetSize * (1 + shortTrackCount)) {
        error = "MDX song cut short in its offset table";
        return std::nullopt;
    }
    std::uint16_t voiceOffset = wordAt(body, 0);
    // The first track's offset tells the size of the offset table.
    std::size_t trackCount = (wordAt(body, offsetSize) - offsetSize) / offsetSize;
    if (trackCount != shortTrackCount && trackCount != longTrackCount) trackCount = shortTrackCount;
    if (body.size() < offsetSize * (1 + trackCount)) {
        error = "MDX song cut short in its offset table";
        return std::nullopt;
    }
    for (std::size_t t = 0; t < trackCount; ++t) {
        std::uint16_t offset = wordAt(body, offsetSize * (1 + t));
        if (offset >= body.size()) {
            error = "MDX track " + std::to_string(t) + " lies beyond the end of the file";
            return std::nullopt;
        }
        file.trackOffsets_.push_back(offset);
    }
    for (std::size_t v = voiceOffset; v + MdxVoice::size <= body.size(); v += MdxVoice::size) {
        MdxVoice voice;
        voice.number = body[v];
        voice.feedbackConnection = body[v + 1];
        voice.slotMask = body[v + 2];
        for (std::size_t g = 0; g < MdxVoice::groupCount; ++g)
            for (std::size_t o = 0; o < MdxVoice::operatorCount; ++o)
                voice.groups[g][o] =
                    body[v + MdxVoice::firstGroup + g * MdxVoice::operatorCount + o];
        file.voices_.push_back(voice);
    }
    file.body_.assign(body.begin(), body.end());
    return file;
}

std::optional<MdxVoice> MdxFile::voice(unsigned number) const {
    for (const MdxVoice& v : voices_)
        if (v.number == number) return v;
    return std::nullopt;
}

} // namespace mdx
