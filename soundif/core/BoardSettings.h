// BoardSettings: the settings of one interface board, as kept in the board's
// section "ftd2xx(COM<port>)" of the library's INI file. The member
// initialisers are the starting values that the manager and the settings
// dialog both use before overlaying the keys found in the file.
#pragma once

#include <cstdint>

struct BoardSettings {
    std::int32_t port = 0;            // COM port number, from the section name
    std::uint32_t speed = 115200;     // "Speed": baud rate; also scales the waits
    std::uint32_t bufferSize = 512;   // "BufferSize": queue limit, 0 = none
    std::int32_t slotChipId = 0;      // "SLOT_00_CHIP_ID": 0 none, 38 KX7M, 39 TRQ05, else a chip type
    std::int32_t slotChipClock = 0;   // "SLOT_00_CHIP_CLOCK": clock in Hz
    std::uint8_t sBit = 1;            // "SBit": pin mask of the shift clock
    std::uint8_t dBit = 2;            // "DBit": pin mask of the data line
    std::uint8_t cBit = 4;            // "CBit": pin mask of the control line
    std::uint8_t rBit = 8;            // "RBit": pin mask of the latch
    std::uint32_t addrWait = 0xFFFFFFFFu; // "AddrWait": -1 = the board's default
    std::uint32_t dataWait = 0xFFFFFFFFu; // "DataWait": -1 = the board's default
};
