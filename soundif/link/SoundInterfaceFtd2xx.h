// CSoundInterfaceFtd2xx: one interface board on a USB-serial device in
// bit-bang mode, found by its COM port number. Construction names the
// interface after the board model, opens the device, builds the board's chips
// and starts the worker thread; whether the board was reached shows only in
// chipCount. Register writes from the chips are stamped with a due time (now
// plus the send delay) and queued; the worker takes every write that has come
// due, and ahead of them any that a burst behind them needs on the wire early
// (SendSchedule.h), encodes the batch and hands it to one device write per
// pass.
//
// Locks: the queue lock guards the queue, the clock and the send delay used
// for stamping; the device lock guards the device handle, every device write
// and the pin state, which is therefore encoded only under the device lock
// (the worker collects due writes under the queue lock, releases it, then
// encodes and writes under the device lock; a reset encodes its two words
// under the device lock too). The two locks are never held together.
//
// A reset drops the writes still queued and also a batch that the worker took
// from the queue before the reset but had not yet written: no write queued
// before a reset reaches the board after the reset pulse.
//
// Choices of this implementation: a pass reads the clock once and
// takes the writes to start at that moment, at most about 1 MiB of pin bytes of
// them (the rest leave in the next pass, at once); wait fillers are capped
// (wire::maxWaitRepeat); and a worker that cannot be started leaves the
// interface without chips, so the manager discards it instead of keeping a
// queue that nobody drains.
#pragma once

#include "common/MillisecondClock.h"
#include "soundif/core/BoardSettings.h"
#include "soundif/core/SoundInterface.h"
#include "soundif/device/D2xxFunctions.h"
#include "soundif/link/ThreadBase.h"
#include "soundif/link/WireEncoder.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// One queued register write.
struct PendingWrite {
    std::int32_t due;      // clock reading at which the write may leave
    std::uint16_t address; // register address as the chip gave it (bit 8 goes on the wire)
    std::uint8_t data;     // register value
    std::uint8_t position; // the chip's position on the board
};
static_assert(sizeof(PendingWrite) == 8);

class CSoundInterfaceFtd2xx : public CSoundInterface, public CThreadBase {
public:
    // devices: the device functions the board is reached through; the
    // interface keeps its own copy of the table.
    CSoundInterfaceFtd2xx(const BoardSettings& settings, const D2xxFunctions& devices);
    // Stops the worker, resets the board, destroys the chips, closes the device.
    ~CSoundInterfaceFtd2xx() override;

    std::int32_t setSendDelay(std::int32_t milliseconds) override;
    std::int32_t resetInterface() override;
    std::int32_t writeRegister(std::uint32_t position, std::uint32_t address,
                               std::uint32_t data) override;

    // Opens the device whose COM port is wantedPort; a device status, 0 when
    // opened.
    FT_STATUS openByComPort(std::int32_t wantedPort);

    std::uint32_t addressWaitRepeat() const { return addressRepeat; }
    std::uint32_t dataWaitRepeat() const { return dataRepeat; }
    // Sets the interface's clock so that it now reads milliseconds.
    void setClock(std::uint32_t milliseconds);
    // Writes waiting in the queue.
    std::size_t pendingWrites();

protected:
    bool runStep() override;

private:
    void closeDevice();
    void buildChips();
    // Encodes one word and writes it on its own; device lock held.
    void sendWord(std::uint16_t word);
    // Logs a failed write that follows a good one, and the first good one
    // after failures (DeviceLog.h); device lock held.
    void noteWrite(FT_STATUS status, std::size_t length);
    // The wire's pin masks, from the "SBit", "DBit", "CBit" and "RBit" settings.
    wire::PinMasks pinMasks() const;

    BoardSettings settings;
    const D2xxFunctions devices;
    FT_HANDLE device = nullptr;
    // Mirrors device != nullptr for writeRegister, which must not wait for the
    // device lock while the worker holds it across a device write.
    std::atomic<bool> deviceOpen{false};
    std::uint8_t pinState = 255;
    FT_STATUS lastWriteStatus = ftOk;
    std::uint32_t addressRepeat = 0;
    std::uint32_t dataRepeat = 0;
    std::mutex deviceLock;
    std::mutex queueLock;
    std::deque<PendingWrite> queue;
    MillisecondClock clock;
    std::atomic<std::uint32_t> resetCount{0};
    std::vector<PendingWrite> batch;
    std::vector<std::uint8_t> buffer;
};
