// AudioOutput on Windows: the system's waveform-audio output (waveOut), with
// a ring of five buffers of a fifth of bufferMs each, refilled by a thread of
// its own as the device hands them back. The library (winmm.dll) is loaded at
// the first open() and kept, so that a process that plays nothing never
// starts the system's audio. See AudioOutput.h.
//
// Where it differs from the sound-server output: "default" is the system's
// wave mapper and any other name must equal an output device's name (the
// first 31 characters, as the system gives them); an underrun is counted
// when the thread finds every buffer played out before it refilled them;
// the start latency is the time to the moment the first buffers were queued
// and the device set going, as waveOut tells no more; the latency is what is
// queued beyond the device's position, without the device's own; the name
// is not shown anywhere; failed() turns true when the device refuses a
// buffer.
#include "common/AudioOutput.h"

#include "common/Platform.h"
#include "common/WideText.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace platform {

namespace {

// The waveOut functions, found in winmm.dll once.
struct WaveOut {
    decltype(&::waveOutGetNumDevs) getNumDevs = nullptr;
    decltype(&::waveOutGetDevCapsW) getDevCaps = nullptr;
    decltype(&::waveOutOpen) open = nullptr;
    decltype(&::waveOutPrepareHeader) prepareHeader = nullptr;
    decltype(&::waveOutUnprepareHeader) unprepareHeader = nullptr;
    decltype(&::waveOutWrite) write = nullptr;
    decltype(&::waveOutGetPosition) getPosition = nullptr;
    decltype(&::waveOutPause) pause = nullptr;
    decltype(&::waveOutRestart) restart = nullptr;
    decltype(&::waveOutReset) reset = nullptr;
    decltype(&::waveOutClose) close = nullptr;
    decltype(&::waveOutGetErrorTextW) errorText = nullptr;

    bool complete() const {
        return getNumDevs && getDevCaps && open && prepareHeader && unprepareHeader && write &&
               getPosition && pause && restart && reset && close && errorText;
    }
};

template <typename Function> void find(void* module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(findSymbol(module, name));
}

WaveOut loadWaveOut() {
    WaveOut functions;
    void* module = loadLibrary("winmm.dll");
    if (module == nullptr) return functions;
    find(module, "waveOutGetNumDevs", functions.getNumDevs);
    find(module, "waveOutGetDevCapsW", functions.getDevCaps);
    find(module, "waveOutOpen", functions.open);
    find(module, "waveOutPrepareHeader", functions.prepareHeader);
    find(module, "waveOutUnprepareHeader", functions.unprepareHeader);
    find(module, "waveOutWrite", functions.write);
    find(module, "waveOutGetPosition", functions.getPosition);
    find(module, "waveOutPause", functions.pause);
    find(module, "waveOutRestart", functions.restart);
    find(module, "waveOutReset", functions.reset);
    find(module, "waveOutClose", functions.close);
    find(module, "waveOutGetErrorTextW", functions.errorText);
    return functions;
}

std::string errorText(const WaveOut& waveOut, MMRESULT result) {
    std::array<wchar_t, MAXERRORLENGTH> text{};
    if (waveOut.errorText(result, text.data(), static_cast<UINT>(text.size())) != MMSYSERR_NOERROR)
        return "waveOut error " + std::to_string(result);
    return utf8Text(text.data());
}

constexpr std::size_t bufferCount = 5;

class WaveOutput final : public AudioOutput {
public:
    WaveOutput(const WaveOut& waveOut, std::uint32_t rate, Source source)
        : waveOut_(waveOut), rate_(rate), source_(std::move(source)),
          opened_(std::chrono::steady_clock::now()) {}
    ~WaveOutput() override { close(); }

    bool start(const std::string& device, std::uint32_t bufferMs, std::string& error);
    void close() override;
    std::uint64_t underruns() const override { return underruns_.load(); }
    double startLatencyMs() const override { return startLatencyMs_.load(); }
    bool failed() const override { return failed_.load(); }
    double latencyMs() const override { return latencyMs_.load(); }

private:
    bool findDevice(const std::string& device, UINT& id, std::string& error) const;
    bool queue(WAVEHDR& header);
    void feed();
    bool allDone() const;

    const WaveOut& waveOut_;
    const std::uint32_t rate_;
    const Source source_;
    const std::chrono::steady_clock::time_point opened_;
    HWAVEOUT handle_ = nullptr;
    HANDLE bufferDone_ = nullptr;
    std::array<WAVEHDR, bufferCount> headers_{};
    std::array<std::vector<std::int16_t>, bufferCount> buffers_;
    std::size_t prepared_ = 0;
    std::uint32_t queuedFrames_ = 0; // modulo 2^32, as the device counts its position
    bool started_ = false;
    std::thread feeder_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<double> startLatencyMs_{-1.0};
    std::atomic<bool> failed_{false};
    std::atomic<double> latencyMs_{-1.0};
};

bool WaveOutput::findDevice(const std::string& device, UINT& id, std::string& error) const {
    if (device == "default") {
        id = WAVE_MAPPER;
        return true;
    }
    const UINT count = waveOut_.getNumDevs();
    for (UINT candidate = 0; candidate < count; ++candidate) {
        WAVEOUTCAPSW caps{};
        if (waveOut_.getDevCaps(candidate, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
        if (utf8Text(caps.szPname) == device) {
            id = candidate;
            return true;
        }
    }
    error = "no sound output device is named " + device;
    return false;
}

bool WaveOutput::start(const std::string& device, std::uint32_t bufferMs, std::string& error) {
    UINT id = 0;
    if (!findDevice(device, id, error)) return false;
    bufferDone_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (bufferDone_ == nullptr) {
        error = "cannot make an event for the sound output";
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = rate_;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = rate_ * 4;
    const MMRESULT opened = waveOut_.open(
        &handle_, id, &format, reinterpret_cast<DWORD_PTR>(bufferDone_), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        handle_ = nullptr;
        error = "cannot play on " + device + ": " + errorText(waveOut_, opened);
        return false;
    }
    // Queued while paused, so that the device starts with every buffer full.
    waveOut_.pause(handle_);
    const std::size_t frames =
        std::max<std::size_t>(1, std::size_t{rate_} * bufferMs / 1000 / bufferCount);
    for (std::size_t index = 0; index < bufferCount; ++index) {
        buffers_[index].assign(2 * frames, 0);
        WAVEHDR& header = headers_[index];
        header.lpData = reinterpret_cast<LPSTR>(buffers_[index].data());
        header.dwBufferLength = static_cast<DWORD>(frames * 4);
        const MMRESULT result = waveOut_.prepareHeader(handle_, &header, sizeof header);
        if (result != MMSYSERR_NOERROR) {
            error = "cannot play on " + device + ": " + errorText(waveOut_, result);
            return false;
        }
        ++prepared_;
        if (!queue(header)) {
            error = "cannot play on " + device + ": the device refuses sound";
            return false;
        }
    }
    waveOut_.restart(handle_);
    started_ = true;
    startLatencyMs_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - opened_)
            .count();
    feeder_ = std::thread([this] { feed(); });
    return true;
}

bool WaveOutput::queue(WAVEHDR& header) {
    // The frames asked for are heard once what is queued ahead of them has
    // played.
    std::uint32_t ahead = queuedFrames_;
    MMTIME position{};
    position.wType = TIME_SAMPLES;
    if (started_ && waveOut_.getPosition(handle_, &position, sizeof position) == MMSYSERR_NOERROR &&
        position.wType == TIME_SAMPLES)
        ahead = queuedFrames_ - static_cast<std::uint32_t>(position.u.sample);
    latencyMs_ = ahead * 1000.0 / rate_;
    const auto frames = static_cast<std::uint32_t>(header.dwBufferLength / 4);
    source_(reinterpret_cast<std::int16_t*>(header.lpData), frames);
    queuedFrames_ += frames;
    if (waveOut_.write(handle_, &header, sizeof header) == MMSYSERR_NOERROR) return true;
    failed_ = true;
    return false;
}

bool WaveOutput::allDone() const {
    for (const WAVEHDR& header : headers_)
        if ((header.dwFlags & WHDR_DONE) == 0) return false;
    return true;
}

// Refills the buffers in their ring order as the device hands them back.
void WaveOutput::feed() {
    std::size_t next = 0;
    while (!stopping_.load() && !failed_.load()) {
        WaitForSingleObject(bufferDone_, 50);
        if (stopping_.load()) break;
        if (allDone()) ++underruns_;
        while (!stopping_.load() && (headers_[next].dwFlags & WHDR_DONE) != 0) {
            if (!queue(headers_[next])) return;
            next = (next + 1) % bufferCount;
        }
    }
}

void WaveOutput::close() {
    stopping_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (handle_ != nullptr) {
        // Plays out what is queued, for at most about a second.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!failed_.load() && prepared_ == bufferCount && !allDone() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        waveOut_.reset(handle_);
        for (std::size_t index = 0; index < prepared_; ++index)
            waveOut_.unprepareHeader(handle_, &headers_[index], sizeof headers_[index]);
        prepared_ = 0;
        waveOut_.close(handle_);
        handle_ = nullptr;
    }
    if (bufferDone_ != nullptr) {
        CloseHandle(bufferDone_);
        bufferDone_ = nullptr;
    }
}

} // namespace

std::unique_ptr<AudioOutput> AudioOutput::open(const std::string&, const std::string& device,
                                               std::uint32_t rate, std::uint32_t bufferMs,
                                               Source source, std::string& error) {
    static const WaveOut waveOut = loadWaveOut();
    if (!waveOut.complete()) {
        error = "the system's sound library winmm.dll cannot be loaded";
        return nullptr;
    }
    auto output = std::make_unique<WaveOutput>(waveOut, rate, std::move(source));
    if (!output->start(device, bufferMs, error)) return nullptr;
    return output;
}

} // namespace platform
