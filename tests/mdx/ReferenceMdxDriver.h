// ReferenceMdxDriver: the reference MDX driver (../shared/reference/portable-mdx,
// compiled for the tests only) driven through its public interface, with its
// YM2151 writes recorded per timer-B tick. Its sound_iocs.cpp is compiled with
// the chip's register and data calls routed through recording functions of
// ours, which pass each write on; the driver's interrupt callback counts the
// ticks. The timer registers (0x10-0x14) are left out of the record: our
// driver keeps time on the host.
#pragma once

#include <cstdint>
#include <vector>

#include "mdx/MdxDriver.h"

namespace mdxtest {

struct ReferenceRecord {
    std::vector<mdx::Ym2151Write> start;              // written when play starts
    std::vector<std::vector<mdx::Ym2151Write>> ticks; // written in each tick
    bool ended = false;                               // the driver said the song ended
};

// Plays the MDX (and PDX, may be empty) for at most maxTicks ticks.
ReferenceRecord recordReference(const std::vector<std::uint8_t>& mdx,
                                const std::vector<std::uint8_t>& pdx, int maxTicks);

// The reference's sound output (FM and ADPCM mixed): its level (RMS of both
// sides) in each window of windowMilliseconds, for the given count of them;
// with pcm8, the driver's PCM8 mixer on.
std::vector<double> referenceLevels(const std::vector<std::uint8_t>& mdx,
                                    const std::vector<std::uint8_t>& pdx, int windowMilliseconds,
                                    int windows, bool pcm8 = false);

} // namespace mdxtest
