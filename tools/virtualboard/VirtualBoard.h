// VirtualBoard stands in for attached interface boards behind the seven
// device functions: it reports the devices of TAVRO_VB_PORTS, refuses those of
// TAVRO_VB_BUSY, decodes the bit-bang pin stream written to each open device
// with the board model, logs every event, records the first board that
// enters bit-bang mode as a VGM file and makes the first such board heard
// (BoardSound.h; settings: VirtualBoardSettings.h).
//
// Timing: a device takes one pin byte per baud period (Speed bytes per
// second, as the library sizes its waits), so an event's time is the time of
// its write call plus its byte offset divided by the baud rate; when the bytes
// of an earlier call are still on the wire at that moment, the call starts
// where they end, as a real device queues them. Bytes written outside
// asynchronous bit-bang mode are counted and dropped. A device takes its
// other calls (bit mode, baud rate, close) once its wire is idle, so the times
// of one port's log lines never go backwards, even across close and open.
//
// Log format, one line per event, time in milliseconds since the module was
// first used, then the event and its fields as key=value:
//   0.412 open port=1 index=0
//   0.415 busy port=2 index=1           (open refused: busy or already open)
//   0.420 bitmode port=1 mask=0xff mode=1
//   0.421 baud port=1 rate=115200
//   105.310 write port=1 pos=1 chip=YM2151 addr=0x28 data=0x4a
//   105.400 stray port=1 pos=1 chip=YM2151 data=0x4a   (data with no address)
//   106.000 reset port=1
//   107.000 ignored port=1 bytes=18                   (not in bit-bang mode)
//   2000.000 vgm port=1 file=out.vgm samples=88200
//   0.430 audio port=1 device=default                 (live sound started)
//   2000.000 audio-end port=1 frames=96000 underruns=0 late=0 resyncs=0 start-ms=31.2
//   2000.000 wav port=1 file=out.wav frames=96000     (or wav-failed)
//   2000.000 close port=1                             (reset=held added when the
//                                                     reset line was left low)
//
// Thread-safe: one lock guards every call. Handles are numbers that are never
// reused, so a call on a closed handle fails instead of touching freed state.
#pragma once

#include "soundif/device/D2xxFunctions.h"
#include "tools/virtualboard/BoardModel.h"
#include "tools/virtualboard/BoardSound.h"
#include "tools/virtualboard/VirtualBoardSettings.h"
#include "vgm/VgmWriter.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace virtualboard {

using VgmWriter = vgm::VgmWriter;

class VirtualBoard {
public:
    VirtualBoard() : epoch_(std::chrono::steady_clock::now()) {}

    FT_STATUS listDevices(void* arg1, void* arg2, std::uint32_t flags);
    FT_STATUS open(std::int32_t index, FT_HANDLE* handle);
    FT_STATUS getComPortNumber(FT_HANDLE handle, std::int32_t* port);
    FT_STATUS close(FT_HANDLE handle);
    FT_STATUS setBitMode(FT_HANDLE handle, std::uint8_t mask, std::uint8_t mode);
    FT_STATUS setBaudRate(FT_HANDLE handle, std::uint32_t baud);
    FT_STATUS write(FT_HANDLE handle, void* buffer, std::uint32_t length, std::uint32_t* written);

    // Writes the VGM file of a recording that is still running and finishes
    // the sound file; used when the process ends with a device open.
    void finishRecording();

private:
    struct Device {
        std::int32_t port;
        const catalog::BoardLayout* board;
        std::uint8_t mode = 0;
        std::uint32_t baud = 9600;
        boardmodel::BoardModel model;
        double wireFreeMs = 0;
    };
    struct Recording {
        std::uintptr_t device;
        double startMs;
        VgmWriter vgm;
        std::string path;
    };

    double nowMs() const;
    // The device's time: now, or later while bytes are still on its wire.
    double nowMs(const Device& device) const;
    Device* find(FT_HANDLE handle);
    void readSettings();
    void log(double ms, const std::string& text);
    void endRecording(double ms);
    void startSound(std::uintptr_t id, const Device& device, double ms);
    void endSound(double ms);

    std::mutex mutex_;
    const std::chrono::steady_clock::time_point epoch_;
    VirtualBoardSettings settings_;
    bool settingsRead_ = false;
    std::map<std::uintptr_t, Device> devices_;
    std::map<std::int32_t, double> wireFreeMs_; // by port, kept across close and open
    std::uintptr_t nextHandle_ = 1;
    std::ofstream log_;
    std::string logPath_;
    std::optional<Recording> recording_;
    std::unique_ptr<BoardSound> sound_;
    std::uintptr_t soundDevice_ = 0;
    std::string soundWavPath_;
};

} // namespace virtualboard
