// OkiAdpcm: see OkiAdpcm.h.
#include "mdx/OkiAdpcm.h"

#include <algorithm>

namespace mdx {
namespace {

constexpr unsigned signBit = 0x8;
constexpr unsigned magnitudeMask = 0x7;
constexpr unsigned nibbleBits = 4;
constexpr unsigned nibbleMask = 0xF;
constexpr int stepShift = 3;
constexpr std::array<int, 8> stepIndexMoves = {-1, -1, -1, -1, 2, 4, 6, 8};

} // namespace

int OkiAdpcm::decode(unsigned nibble) {
    int step = steps[static_cast<std::size_t>(stepIndex_)];
    int magnitude = static_cast<int>(nibble & magnitudeMask);
    int difference = (2 * magnitude + 1) * step >> stepShift;
    sample_ = std::clamp(sample_ + (nibble & signBit ? -difference : difference), sampleMinimum,
                         sampleMaximum);
    stepIndex_ = std::clamp(stepIndex_ + stepIndexMoves[static_cast<std::size_t>(magnitude)], 0,
                            stepCount - 1);
    return sample_;
}

void OkiAdpcm::decode(std::span<const std::uint8_t> bytes, std::vector<std::int16_t>& out) {
    for (std::uint8_t b : bytes) {
        out.push_back(static_cast<std::int16_t>(decode(b & nibbleMask)));
        out.push_back(static_cast<std::int16_t>(decode(b >> nibbleBits)));
    }
}

} // namespace mdx
