// CSoundInterfaceFtd2xx: see SoundInterfaceFtd2xx.h.
#include "soundif/link/SoundInterfaceFtd2xx.h"

#include "common/Platform.h"
#include "soundif/catalog/BoardLayout.h"
#include "soundif/device/D2xxStatusText.h"
#include "soundif/link/DeviceLog.h"
#include "soundif/link/SendSchedule.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t useBoardDefault = 0xFFFFFFFFu;
constexpr std::size_t maxBatchBytes = std::size_t{1} << 20;

// The record of the chip at a position of a board, with board clock K.
SoundChipInfo chipInfoAt(const catalog::BoardLayout& layout, std::size_t position,
                         std::int32_t boardId, std::int32_t boardClock) {
    const catalog::ChipPlace& place = layout.chips[position];
    SoundChipInfo info{};
    place.name.copy(info.name, sizeof info.name - 1);
    info.type = layout.typeAt(position, boardId);
    info.clock = catalog::clockOf(place.clock, boardClock);
    info.altType[0] = place.altType;
    info.altClock[0] = catalog::clockOf(place.altClock, boardClock);
    info.position = static_cast<std::int32_t>(position);
    info.attribute = place.attribute;
    return info;
}

void sleepOneMillisecond() {
    platform::sleepMilliseconds(1);
}

} // namespace

CSoundInterfaceFtd2xx::CSoundInterfaceFtd2xx(const BoardSettings& settings,
                                             const D2xxFunctions& devices)
    : settings(settings), devices(devices) {
    clock.start();
    if (settings.slotChipId == 0) return;

    const catalog::BoardLayout& layout = catalog::boardLayoutOf(settings.slotChipId);
    std::snprintf(info.name, sizeof info.name, layout.interfaceNameFormat, settings.port);
    const std::uint32_t addressWait =
        settings.addrWait != useBoardDefault ? settings.addrWait : layout.addressWait;
    const std::uint32_t dataWait =
        settings.dataWait != useBoardDefault ? settings.dataWait : layout.dataWait;
    addressRepeat = wire::waitRepeat(addressWait, settings.speed);
    dataRepeat = wire::waitRepeat(dataWait, settings.speed);

    if (const FT_STATUS status = openByComPort(settings.port); status != ftOk) {
        devicelog::write(settings.port, "not opened: " + d2xxStatusText(status) + " (status " +
                                            std::to_string(status) + ")");
        return;
    }
    devices.setBitMode(device, 0, ftBitModeReset);
    devices.setBitMode(device, ftAllPinsOutput, ftBitModeAsyncBitBang);
    devices.setBaudRate(device, settings.speed);

    buildChips();
    info.chipCount = chipCount();
    if (!startThread()) {
        destroyChips();
        info.chipCount = 0;
    }
}

CSoundInterfaceFtd2xx::~CSoundInterfaceFtd2xx() {
    stopThread();
    resetInterface();
    destroyChips();
    closeDevice();
}

void CSoundInterfaceFtd2xx::buildChips() {
    const catalog::BoardLayout& layout = catalog::boardLayoutOf(settings.slotChipId);
    for (std::size_t position = 0; position < layout.chipCount; ++position)
        addChip(chipInfoAt(layout, position, settings.slotChipId, settings.slotChipClock));
}

FT_STATUS CSoundInterfaceFtd2xx::openByComPort(std::int32_t wantedPort) {
    const std::lock_guard lock(deviceLock);
    if (device != nullptr) {
        devices.close(device);
        device = nullptr;
        deviceOpen = false;
    }
    std::uint32_t count = 0;
    if (const FT_STATUS status = devices.listDevices(&count, nullptr, ftListNumberOnly);
        status != ftOk)
        return status;
    FT_STATUS result = ftDeviceNotFound;
    for (std::uint32_t index = 0; index < count; ++index) {
        FT_HANDLE handle = nullptr;
        if (const FT_STATUS status = devices.open(static_cast<std::int32_t>(index), &handle);
            status != ftOk) {
            result = status;
            continue;
        }
        std::int32_t port = 0;
        const FT_STATUS status = devices.getComPortNumber(handle, &port);
        if (status == ftOk && port == wantedPort) {
            device = handle;
            deviceOpen = true;
            return ftOk;
        }
        result = status != ftOk ? status : ftDeviceNotFound;
        devices.close(handle);
    }
    return result;
}

void CSoundInterfaceFtd2xx::closeDevice() {
    const std::lock_guard lock(deviceLock);
    if (device == nullptr) return;
    devices.setBitMode(device, 0, ftBitModeReset);
    devices.close(device);
    device = nullptr;
    deviceOpen = false;
}

std::int32_t CSoundInterfaceFtd2xx::setSendDelay(std::int32_t milliseconds) {
    const std::lock_guard lock(queueLock);
    sendDelay = milliseconds;
    return 1;
}

std::int32_t CSoundInterfaceFtd2xx::writeRegister(std::uint32_t position, std::uint32_t address,
                                                  std::uint32_t data) {
    if (!deviceOpen.load(std::memory_order_acquire)) return 0;
    std::unique_lock lock(queueLock);
    while (settings.bufferSize != 0 && queue.size() >= settings.bufferSize) {
        lock.unlock();
        sleepOneMillisecond();
        lock.lock();
    }
    const std::uint32_t due = clock.now() + static_cast<std::uint32_t>(sendDelay);
    queue.push_back({static_cast<std::int32_t>(due), static_cast<std::uint16_t>(address),
                     static_cast<std::uint8_t>(data), static_cast<std::uint8_t>(position)});
    return 1;
}

bool CSoundInterfaceFtd2xx::runStep() {
    batch.clear();
    std::uint32_t resetsBefore = 0;
    {
        const std::lock_guard lock(queueLock);
        const std::size_t bytesPerWrite = wire::registerWriteBytes + addressRepeat + dataRepeat;
        std::size_t bytes = 0;
        const std::uint32_t now = clock.now();
        std::size_t toStart = sendschedule::writesToStart(
            queue, sendschedule::writeMicroseconds(bytesPerWrite, settings.speed),
            [now](const PendingWrite& write) {
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(write.due) - now);
            });
        for (; toStart > 0 && bytes < maxBatchBytes; --toStart) {
            const PendingWrite& front = queue.front();
            batch.push_back(front);
            queue.pop_front();
            bytes += bytesPerWrite;
        }
        resetsBefore = resetCount.load(std::memory_order_relaxed);
    }
    if (batch.empty()) {
        sleepOneMillisecond();
        return true;
    }
    const std::lock_guard lock(deviceLock);
    if (resetCount.load(std::memory_order_relaxed) != resetsBefore || device == nullptr)
        return true;
    buffer.clear();
    const wire::PinMasks masks = pinMasks();
    for (const PendingWrite& write : batch) {
        if (!buffer.empty()) wire::appendFiller(buffer, dataRepeat, pinState);
        wire::appendRegisterWrite(buffer, write.position, write.address, write.data, masks,
                                  pinState, addressRepeat);
    }
    std::uint32_t written = 0;
    noteWrite(
        devices.write(device, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &written),
        buffer.size());
    return true;
}

std::int32_t CSoundInterfaceFtd2xx::resetInterface() {
    invalidateChipCaches();
    {
        const std::lock_guard lock(queueLock);
        queue.clear();
        resetCount.fetch_add(1, std::memory_order_relaxed);
    }
    const std::lock_guard lock(deviceLock);
    if (device == nullptr) return 0;
    sendWord(wire::resetAssertWord);
    sleepOneMillisecond();
    sendWord(wire::resetReleaseWord);
    return 1;
}

void CSoundInterfaceFtd2xx::sendWord(std::uint16_t word) {
    std::vector<std::uint8_t> frame;
    wire::appendFrame(frame, word, pinMasks(), pinState);
    std::uint32_t written = 0;
    noteWrite(
        devices.write(device, frame.data(), static_cast<std::uint32_t>(frame.size()), &written),
        frame.size());
}

void CSoundInterfaceFtd2xx::noteWrite(FT_STATUS status, std::size_t length) {
    if (status == lastWriteStatus) return;
    if (status != ftOk)
        devicelog::write(settings.port, "write of " + std::to_string(length) +
                                            " bytes failed: " + d2xxStatusText(status) +
                                            " (status " + std::to_string(status) + ")");
    else
        devicelog::write(settings.port, "writes work again");
    lastWriteStatus = status;
}

wire::PinMasks CSoundInterfaceFtd2xx::pinMasks() const {
    return {settings.sBit, settings.dBit, settings.cBit, settings.rBit};
}

void CSoundInterfaceFtd2xx::setClock(std::uint32_t milliseconds) {
    const std::lock_guard lock(queueLock);
    clock.baseMilliseconds += milliseconds - clock.now();
}

std::size_t CSoundInterfaceFtd2xx::pendingWrites() {
    const std::lock_guard lock(queueLock);
    return queue.size();
}
