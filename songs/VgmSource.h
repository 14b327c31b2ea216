// VgmSource: a checked VGM file (vgm/VgmFile.h) as a Song. Each chip the
// stream writes to (first and second of a kind) becomes a SongChip at the
// file's clock for it (the header's, the default where it gives none, and a
// YM2149 with its divider pin low at half); the GD3 tag's texts become tags,
// English first. The SN76489 (with its noise pattern from the header) and
// the YM2612, which the reader skips, are read here.
#pragma once

#include "songs/Song.h"
#include "vgm/VgmFile.h"

namespace songs {

Song songOfVgm(const vgm::VgmFile& file);

// The clock a VGM file means for a chip: its header clock, the default where
// the header gives none, halved for a YM2149 whose clock divider pin is low.
std::uint32_t vgmClockOf(const vgm::VgmHeader& header, vgm::VgmChip chip);

} // namespace songs
