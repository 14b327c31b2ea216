// The seven device functions the virtual board module exports, under the
// vendor driver's names and with C linkage; every other symbol of the module
// stays hidden. They forward to one process-wide VirtualBoard, which is never
// destroyed, so that calls made late in process teardown stay safe; a
// recording or sound file still running when the process ends (or the module
// is unloaded) is finished then. A module loaded and unloaded without a call
// (a look at the devices' module) makes no board.
#include "tools/virtualboard/VirtualBoard.h"

#include <atomic>

#define VIRTUALBOARD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<virtualboard::VirtualBoard*> made{nullptr};

virtualboard::VirtualBoard& board() {
    static auto* instance = made = new virtualboard::VirtualBoard;
    return *instance;
}

struct FinishAtExit {
    ~FinishAtExit() {
        if (virtualboard::VirtualBoard* instance = made.load()) instance->finishRecording();
    }
} finishAtExit;

} // namespace

VIRTUALBOARD_EXPORT FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    return board().listDevices(arg1, arg2, flags);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_Open(std::int32_t index, FT_HANDLE* handle) {
    return board().open(index, handle);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_GetComPortNumber(FT_HANDLE handle, std::int32_t* port) {
    return board().getComPortNumber(handle, port);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    return board().close(handle);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, std::uint8_t mask,
                                            std::uint8_t mode) {
    return board().setBitMode(handle, mask, mode);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    return board().setBaudRate(handle, baud);
}

VIRTUALBOARD_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, std::uint32_t length,
                                       std::uint32_t* written) {
    return board().write(handle, buffer, length, written);
}
