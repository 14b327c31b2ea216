// SongChip: one chip a song names, by type, clock and how many of the type
// came before it. The types are the chips a song may write to, whether a
// board plays them directly, through a conversion, or not at all (other:
// named, its writes dropped).
//
// Clocks are the chip's input clock as the song means it, except the SSG,
// whose clock is always its PSG clock (a YM2149 with its divider pin low is
// given at half its input clock by the source).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace songs {

// msm6258: the ADPCM voices of an MDX song, played from the song's samples
// (Song::pcm) by a software voice set where a destination has one.
enum class ChipType : std::uint8_t {
    ym2151,
    ym2413,
    ssg,
    ym2203,
    ym2608,
    ym2612,
    sn76489,
    msm6258,
    other
};

// "YM2151", "SSG", "SN76489"; other: "other".
std::string_view typeName(ChipType type);

// What an SN76489 source says about the chip: the feedback bits of its
// noise shift register and its width (Sega: 0x0009 and 16; TI: 0x0003 and
// 15), and whether a tone period of 0 acts as 1024 (else as 1).
struct Sn76489Noise {
    static constexpr std::uint16_t segaFeedback = 0x0009;
    static constexpr std::uint8_t segaWidth = 16;
    std::uint16_t feedback = segaFeedback;
    std::uint8_t width = segaWidth;
    bool zeroPeriodIs1024 = true;
};

// An SN76489's writes are its bytes at address 0; the Game Gear stereo
// byte comes at this address.
inline constexpr std::uint16_t sn76489StereoAddress = 1;

struct SongChip {
    ChipType type = ChipType::other;
    std::string name;        // the part as the file names it: "YM2149", "AY-3-8910", "YM3812"
    std::uint32_t clock = 0; // Hz (SSG: its PSG clock)
    int index = 0;           // 0 for the first chip of its type in the song, 1 the second...
    Sn76489Noise noise;      // SN76489 only

    // "YM2151", "YM2151 #2".
    std::string label() const {
        return name + (index > 0 ? " #" + std::to_string(index + 1) : std::string());
    }
};

} // namespace songs
