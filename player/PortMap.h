// The port numbers of Tonrig's I/O port map (PortMap.cpp): the sound hardware
// of the machine as the driver reaches it, full 16-bit port numbers.
//
//   0x1FA0-0x1FA3   CTC channels 0 to 3 (also 0x0704 and 0x070C: channel 0)
//   0x0700/0x0701   OPM #1 register select / data
//   0x0708/0x0709   OPM #2 register select / data
//   0x1Bxx/0x1Cxx   PSG data / register select (any low byte)
#pragma once

#include <cstdint>

namespace portmap {

inline constexpr std::uint16_t ctcChannel0 = 0x1FA0; // channel n at ctcChannel0 + n
inline constexpr std::uint16_t ctcChannelMask = 0x0003;
inline constexpr std::uint16_t ctcChannel0Mirror = 0x0704;
inline constexpr std::uint16_t ctcChannel0SecondMirror = 0x070C;
inline constexpr std::uint16_t opm1Address = 0x0700;
inline constexpr std::uint16_t opm1Data = 0x0701;
inline constexpr std::uint16_t opm2Address = 0x0708;
inline constexpr std::uint16_t opm2Data = 0x0709;
// The PSG answers on every port with this high byte.
inline constexpr std::uint8_t psgDataHigh = 0x1B;
inline constexpr std::uint8_t psgAddressHigh = 0x1C;

// What a port that is not a CTC port reads.
inline constexpr std::uint8_t openBusRead = 0xFF;

constexpr std::uint16_t ctcPort(unsigned channel) {
    return static_cast<std::uint16_t>(ctcChannel0 + channel);
}
constexpr std::uint16_t psgDataPort(std::uint8_t low = 0) {
    return static_cast<std::uint16_t>(psgDataHigh << 8 | low);
}
constexpr std::uint16_t psgAddressPort(std::uint8_t low = 0) {
    return static_cast<std::uint16_t>(psgAddressHigh << 8 | low);
}

} // namespace portmap
