// Test side of the recording device module (RecordingD2xx.cpp): points the
// library's device seam at the module and reads back what it recorded.
//
// useRecordingD2xx must run before the library first reaches a device in
// this process; every test case calls it first, which also forgets what
// earlier cases recorded, so that the cases pass in any order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recording {

// Sets TAVRO_D2XX_MODULE to the module and TAVRO_TEST_D2XX_DEVICES to devices,
// clears the other settings of the module's environment and empties its
// record: no device open, nothing recorded, no call failing.
void useRecordingD2xx(const std::string& devices);
// Statuses that FT_SetBitMode, FT_SetBaudRate and FT_Write return from now
// on (0: success). A failed write writes nothing.
struct Failures {
    std::uint32_t bitMode = 0;
    std::uint32_t baudRate = 0;
    std::uint32_t write = 0;
};
void failCalls(const Failures& failures);
// Changes the attached devices (seen at the next device listing).
void setDevices(const std::string& devices);
// Every call so far, one line each ("list", "open 0", "port 0", "close 0",
// "bitmode 0 255 1", "baud 0 115200", "write 0 108").
std::vector<std::string> calls();
// Every byte written, in order, and the length of each write call.
std::vector<std::uint8_t> bytes();
std::vector<std::uint32_t> writeSizes();
// Byte count after each write and the time of each write (steady clock, ns).
void writeTimes(std::vector<std::uint64_t>& bytesAfter, std::vector<std::int64_t>& nanoseconds);
std::uint64_t byteCount();
void clear();

} // namespace recording
