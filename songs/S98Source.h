// S98Source: an S98 register log as a Song.
//
// Header (little-endian): "S98", the version digit ('1', '2', '3'), the
// timer's numerator and denominator (0: 10 and 1000; one sync is
// numerator / denominator seconds), compression (0 only), the file offsets
// of the tag, the dump data and the loop point (0: none), and, in version 3,
// the device count (at most 64; 0: one YM2608 at 7,987,200 Hz) followed by
// 16 bytes per device: type, clock in Hz, panning, reserved. Version 1 has
// no device list (one YM2608); version 2 is read when its list reads sanely
// as version 3's does, and refused otherwise.
//
// Dump data: 2n aa dd writes device n's first port, 2n+1 aa dd its second
// (address + 0x100); FF waits one sync, FE waits the following base-128
// number (low seven bits first, bit 7: another byte follows) plus 2; FD
// ends (the song loops from the loop point when there is one). A file that
// stops without FD ends there; a command cut short is a fault. Writes to a
// device the list does not name are ignored, as are type-0 devices.
//
// Tag: "[S98]" then "name=value" lines ended by 0x0A, the list ended by 0x00
// or the file's end; UTF-8 when a byte-order mark follows "[S98]", else
// Shift_JIS. Without "[S98]" the tag offset holds a zero-terminated Shift_JIS
// title (the old form).
//
// Device types and their chips: 1 YM2149 (an SSG at half the given clock),
// 2 YM2203, 3 YM2612, 4 YM2608, 5 YM2151, 6 YM2413, 15 AY-3-8910 (an SSG at
// the given clock), 16 SN76489 (Sega noise); 7 YM3526, 8 YM3812, 9 YMF262 and
// unknown types are named and dropped. Panning (two-chip stereo) is not kept.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "songs/Song.h"

namespace songs {

// Whether bytes start as an S98 file does.
bool isS98(std::span<const std::uint8_t> bytes);

std::optional<Song> readS98(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace songs
