// Test side of the recording device module (RecordingD2xx.cpp): its device
// functions, to hand to the board interfaces and managers under test, and
// what it recorded. start gives each test case fresh devices and an empty
// record, so the cases of one process do not see each other's.
#pragma once

#include "soundif/device/D2xxFunctions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace recording {

// The module's seven device functions.
const D2xxFunctions& functions();
// Attaches devices (as TAVRO_TEST_D2XX_DEVICES describes them), lists without
// error and records everything again, with no device open and nothing
// recorded yet.
void start(const std::string& devices);
// start, and TAVRO_D2XX_MODULE set to the module, for a library loaded by
// this process that takes its device functions from the environment; run it
// before the library first reaches a device.
void useRecordingD2xx(const std::string& devices);
// Statuses that FT_SetBitMode, FT_SetBaudRate and FT_Write return from now
// on, until the next start (0: success). A failed write writes nothing.
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
// Forgets what was recorded; open devices stay open.
void clear();

} // namespace recording
