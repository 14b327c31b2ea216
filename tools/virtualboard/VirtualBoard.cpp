// The virtual board's devices, event log and recording; see VirtualBoard.h.
#include "tools/virtualboard/VirtualBoard.h"

#include <algorithm>
#include <cstdio>

namespace virtualboard {

namespace {

// The part name of the chip at a position of the board, as the log shows it.
std::string chipName(const catalog::BoardLayout& board, int position) {
    const catalog::ChipModel* model =
        catalog::findChipModel(board.typeAt(static_cast<std::size_t>(position), board.id));
    return model != nullptr ? std::string(model->name) : std::string("?");
}

std::string format(const char* pattern, auto... values) {
    const int length = std::snprintf(nullptr, 0, pattern, values...);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, values...);
    return text;
}

bool contains(const std::vector<std::int32_t>& ports, std::int32_t port) {
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

} // namespace

double VirtualBoard::nowMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - epoch_)
        .count();
}

double VirtualBoard::nowMs(const Device& device) const {
    return std::max(nowMs(), device.wireFreeMs);
}

VirtualBoard::Device* VirtualBoard::find(FT_HANDLE handle) {
    const auto found = devices_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == devices_.end() ? nullptr : &found->second;
}

void VirtualBoard::readSettings() {
    settings_ = readVirtualBoardSettings();
    settingsRead_ = true;
    if (settings_.logPath == logPath_) return;
    log_.close();
    logPath_ = settings_.logPath;
    if (logPath_.empty()) return;
    log_.open(logPath_, std::ios::out | std::ios::trunc);
    // The log's time 0 on the host's monotonic clock, to set the board's
    // events beside those another part of the process logs.
    log(0, format("clock steady-ms=%.3f",
                  std::chrono::duration<double, std::milli>(epoch_.time_since_epoch()).count()));
}

void VirtualBoard::log(double ms, const std::string& text) {
    if (log_.is_open()) log_ << format("%.3f ", ms) << text << '\n';
}

FT_STATUS VirtualBoard::listDevices(void* arg1, void*, std::uint32_t flags) {
    if (flags != ftListNumberOnly || arg1 == nullptr) return ftInvalidParameter;
    std::lock_guard lock(mutex_);
    readSettings();
    *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(settings_.ports.size());
    return ftOk;
}

FT_STATUS VirtualBoard::open(std::int32_t index, FT_HANDLE* handle) {
    if (handle == nullptr) return ftInvalidParameter;
    *handle = nullptr;
    std::lock_guard lock(mutex_);
    if (!settingsRead_) readSettings();
    if (index < 0 || static_cast<std::size_t>(index) >= settings_.ports.size())
        return ftDeviceNotFound;
    const std::int32_t port = settings_.ports[index];
    const bool held = std::any_of(devices_.begin(), devices_.end(),
                                  [&](const auto& entry) { return entry.second.port == port; });
    if (held || contains(settings_.busyPorts, port)) {
        log(nowMs(), format("busy port=%d index=%d", port, index));
        log_.flush();
        return ftDeviceNotOpened;
    }
    const std::uintptr_t id = nextHandle_++;
    const Device& device =
        devices_
            .emplace(id, Device{port, &settings_.boardFor(port), 0, 9600,
                                boardmodel::BoardModel(settings_.masks), wireFreeMs_[port]})
            .first->second;
    *handle = reinterpret_cast<FT_HANDLE>(id);
    log(nowMs(device), format("open port=%d index=%d", port, index));
    log_.flush();
    return ftOk;
}

FT_STATUS VirtualBoard::getComPortNumber(FT_HANDLE handle, std::int32_t* port) {
    std::lock_guard lock(mutex_);
    const Device* device = find(handle);
    if (device == nullptr) return ftInvalidHandle;
    if (port == nullptr) return ftInvalidParameter;
    *port = device->port;
    return ftOk;
}

void VirtualBoard::endRecording(double ms) {
    const Device& device = devices_.at(recording_->device);
    VgmWriter& vgm = recording_->vgm;
    const std::vector<std::uint8_t> file = vgm.finish(ms - recording_->startMs);
    std::ofstream out(recording_->path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    log(ms, out ? format("vgm port=%d file=%s samples=%llu", device.port, recording_->path.c_str(),
                         static_cast<unsigned long long>(vgm.samples()))
                : format("vgm-failed port=%d file=%s", device.port, recording_->path.c_str()));
    recording_.reset();
}

void VirtualBoard::startSound(std::uintptr_t id, const Device& device, double ms) {
    const std::string& audio = settings_.audioDevice;
    const std::string& wav = settings_.wavPath;
    if (audio.empty() && wav.empty()) return;
    sound_ =
        BoardSound::start({device.board, settings_.clockFor(device.port), audio, wav}, epoch_, ms);
    if (!audio.empty())
        log(ms,
            format("%s port=%d device=%s", sound_ && sound_->playing() ? "audio" : "audio-failed",
                   device.port, audio.c_str()));
    if (!sound_) {
        if (!wav.empty()) log(ms, format("wav-failed port=%d file=%s", device.port, wav.c_str()));
        return;
    }
    soundDevice_ = id;
    soundWavPath_ = wav;
}

void VirtualBoard::endSound(double ms) {
    const Device& device = devices_.at(soundDevice_);
    const BoardSound::Summary summary = sound_->finish(ms);
    if (summary.audio)
        log(ms, format("audio-end port=%d frames=%llu underruns=%llu late=%llu resyncs=%llu "
                       "start-ms=%.1f latency-ms=%.1f%s",
                       device.port, static_cast<unsigned long long>(summary.frames),
                       static_cast<unsigned long long>(summary.underruns),
                       static_cast<unsigned long long>(summary.lateEvents),
                       static_cast<unsigned long long>(summary.resyncs), summary.startLatencyMs,
                       summary.latencyMs, summary.audioFailed ? " lost=1" : ""));
    if (!soundWavPath_.empty())
        log(ms, summary.wavWritten
                    ? format("wav port=%d file=%s frames=%llu", device.port, soundWavPath_.c_str(),
                             static_cast<unsigned long long>(summary.frames))
                    : format("wav-failed port=%d file=%s", device.port, soundWavPath_.c_str()));
    sound_.reset();
}

FT_STATUS VirtualBoard::close(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const Device* device = find(handle);
    if (device == nullptr) return ftInvalidHandle;
    const double now = nowMs(*device);
    const auto id = reinterpret_cast<std::uintptr_t>(handle);
    if (recording_ && recording_->device == id) endRecording(now);
    if (sound_ && soundDevice_ == id) endSound(now);
    // A board whose reset line was left low keeps its chips silent for good.
    log(now, format(device->model.resetHeld() ? "close port=%d reset=held" : "close port=%d",
                    device->port));
    log_.flush();
    wireFreeMs_[device->port] = device->wireFreeMs;
    devices_.erase(id);
    return ftOk;
}

FT_STATUS VirtualBoard::setBitMode(FT_HANDLE handle, std::uint8_t mask, std::uint8_t mode) {
    std::lock_guard lock(mutex_);
    Device* device = find(handle);
    if (device == nullptr) return ftInvalidHandle;
    device->mode = mode;
    const double now = nowMs(*device);
    log(now, format("bitmode port=%d mask=0x%02x mode=%u", device->port, mask, mode));
    if (mode == ftBitModeAsyncBitBang && !recording_ && !settings_.vgmPath.empty())
        recording_ = Recording{reinterpret_cast<std::uintptr_t>(handle), now,
                               VgmWriter(*device->board, settings_.clockFor(device->port)),
                               settings_.vgmPath};
    if (mode == ftBitModeAsyncBitBang && !sound_)
        startSound(reinterpret_cast<std::uintptr_t>(handle), *device, now);
    log_.flush();
    return ftOk;
}

FT_STATUS VirtualBoard::setBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    std::lock_guard lock(mutex_);
    Device* device = find(handle);
    if (device == nullptr) return ftInvalidHandle;
    if (baud == 0) return ftInvalidBaudRate;
    device->baud = baud;
    log(nowMs(*device), format("baud port=%d rate=%u", device->port, baud));
    log_.flush();
    return ftOk;
}

FT_STATUS VirtualBoard::write(FT_HANDLE handle, void* buffer, std::uint32_t length,
                              std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    std::lock_guard lock(mutex_);
    Device* device = find(handle);
    if (device == nullptr) return ftInvalidHandle;
    if (buffer == nullptr && length != 0) return ftInvalidParameter;

    const double start = nowMs(*device);
    const double msPerByte = 1000.0 / device->baud;
    device->wireFreeMs = start + length * msPerByte;
    if (written != nullptr) *written = length;
    if (device->mode != ftBitModeAsyncBitBang) {
        log(start, format("ignored port=%d bytes=%u", device->port, length));
        log_.flush();
        return ftOk;
    }

    const auto* pins = static_cast<const std::uint8_t*>(buffer);
    const bool recorded =
        recording_ && recording_->device == reinterpret_cast<std::uintptr_t>(handle);
    BoardSound* sound =
        sound_ && soundDevice_ == reinterpret_cast<std::uintptr_t>(handle) ? sound_.get() : nullptr;
    const catalog::BoardLayout& board = *device->board;
    for (const boardmodel::BoardEvent& event : device->model.feed({pins, length})) {
        const double at = start + event.offset * msPerByte;
        using Kind = boardmodel::BoardEvent::Kind;
        if (event.kind == Kind::reset) {
            log(at, format("reset port=%d", device->port));
            if (sound) sound->reset(at);
            continue;
        }
        const std::string chip = chipName(board, event.position);
        if (event.kind == Kind::strayData) {
            log(at, format("stray port=%d pos=%d chip=%s data=0x%02x", device->port, event.position,
                           chip.c_str(), event.data));
            continue;
        }
        log(at, format("write port=%d pos=%d chip=%s addr=0x%02x data=0x%02x", device->port,
                       event.position, chip.c_str(), event.address, event.data));
        if (recorded)
            recording_->vgm.write(at - recording_->startMs, event.position, event.address,
                                  event.data);
        if (sound && event.address <= 0xFF)
            sound->write(at, event.position, static_cast<std::uint8_t>(event.address), event.data);
    }
    log_.flush();
    return ftOk;
}

void VirtualBoard::finishRecording() {
    std::lock_guard lock(mutex_);
    if (recording_) endRecording(nowMs(devices_.at(recording_->device)));
    if (sound_) endSound(nowMs(devices_.at(soundDevice_)));
    log_.flush();
}

} // namespace virtualboard
