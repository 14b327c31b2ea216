// The two songs that compare the level of the ADPCM voices with the FM's
// (mdx/MdxMeasured.h, adpcmToFmLevel): an FM sine (one carrier at TL 0,
// volume 0x80) and a full-scale ADPCM square of about 488 Hz (16 nibbles
// of 7, then 16 of 0xF, at 15.6 kHz) from the bank levelBank() makes.
#pragma once

#include "MdxBuilder.h"

namespace mdxtest {

inline constexpr const char* levelBankName = "LEVEL";

inline Song fmSineSong() {
    Voice v{};
    v[0] = 1;
    v[1] = 0x07; // connection 7
    v[2] = 0x08; // C2 keyed alone
    const std::uint8_t groups[6][4] = {{1, 1, 1, 1}, {127, 127, 127, 0}, {31, 31, 31, 31},
                                       {0, 0, 0, 0}, {0, 0, 0, 0},       {0x0F, 0x0F, 0x0F, 0x0F}};
    for (int g = 0; g < 6; ++g)
        for (int o = 0; o < 4; ++o)
            v[static_cast<std::size_t>(3 + g * 4 + o)] = groups[g][o];
    Song s;
    s.voices.push_back(v);
    s.tracks[0].tempo(200).voice(1).volume(0x80).note(57, 100).end();
    return s;
}

inline Song adpcmSquareSong() {
    Song s;
    s.pdxName = levelBankName;
    s.tracks[8].tempo(200).note(0, 100).end();
    return s;
}

inline Bytes levelBank() {
    constexpr std::uint32_t table = 96 * 8;
    constexpr std::uint32_t length = 20000;
    Bytes bank(table + length, 0);
    for (int i = 0; i < 4; ++i) {
        bank[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(table >> (24 - 8 * i));
        bank[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    constexpr std::uint32_t bytesPerHalf = 8;
    for (std::uint32_t i = 0; i < length; ++i)
        bank[table + i] = (i / bytesPerHalf) % 2 ? 0xFF : 0x77;
    return bank;
}

} // namespace mdxtest
