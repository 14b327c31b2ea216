// AudioOutput through the PulseAudio client library: a threaded main loop, one
// playback stream whose write requests call the source. Built as a module of
// its own (libtonrig_audio_pulse.so), loaded only when sound is asked for;
// see AudioOutput.h.
#include "common/AudioOutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {

class PulseOutput final : public AudioOutput {
public:
    PulseOutput(std::uint32_t rate, Source source)
        : rate_(rate), source_(std::move(source)), opened_(std::chrono::steady_clock::now()) {}
    ~PulseOutput() override { close(); }

    bool start(const std::string& name, const std::string& device, std::uint32_t bufferMs,
               std::string& error);
    void close() override;
    std::uint64_t underruns() const override { return underruns_.load(); }
    double startLatencyMs() const override { return startLatencyMs_.load(); }
    bool failed() const override { return failed_.load(); }
    double latencyMs() const override { return latencyMs_.load(); }

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void streamWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void streamUnderflow(pa_stream* stream, void* self);
    static void streamStarted(pa_stream* stream, void* self);
    static void drained(pa_stream* stream, int success, void* self);
    void signal() { pa_threaded_mainloop_signal(loop_, 0); }
    std::string lastError() const { return pa_strerror(pa_context_errno(context_)); }

    const std::uint32_t rate_;
    const Source source_;
    const std::chrono::steady_clock::time_point opened_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool running_ = false;  // the main loop's thread runs
    bool stopping_ = false; // guarded by the main loop's lock
    bool drainDone_ = false;
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<double> startLatencyMs_{-1.0};
    std::atomic<bool> failed_{false};
    std::atomic<double> latencyMs_{-1.0};
};

void PulseOutput::contextState(pa_context*, void* self) {
    static_cast<PulseOutput*>(self)->signal();
}

void PulseOutput::streamState(pa_stream* stream, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) output->failed_ = true;
    output->signal();
}

void PulseOutput::streamWrite(pa_stream* stream, std::size_t bytes, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    constexpr std::size_t frameBytes = 2 * sizeof(std::int16_t);
    // The server's buffers may be smaller than what it asks for: every byte
    // asked for is given, else it waits for the rest.
    while (!output->stopping_ && bytes >= frameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) return;
        const std::size_t frames = std::min(size, bytes) / frameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        // What the server holds ahead of these frames, and the device's
        // latency: when the first of them is heard.
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) == 0)
            output->latencyMs_ = negative != 0 ? 0.0 : static_cast<double>(latency) / 1000.0;
        output->source_(static_cast<std::int16_t*>(data), frames);
        pa_stream_write(stream, data, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * frameBytes;
    }
}

void PulseOutput::streamUnderflow(pa_stream*, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    if (!output->stopping_) ++output->underruns_;
}

void PulseOutput::streamStarted(pa_stream*, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    if (output->startLatencyMs_.load() >= 0) return;
    output->startLatencyMs_ = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - output->opened_)
                                  .count();
}

void PulseOutput::drained(pa_stream*, int, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    output->drainDone_ = true;
    output->signal();
}

bool PulseOutput::start(const std::string& name, const std::string& device, std::uint32_t bufferMs,
                        std::string& error) {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        error = "cannot make the sound server's main loop";
        return false;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), name.c_str());
    if (context_ == nullptr) {
        error = "cannot make a sound server context";
        return false;
    }
    pa_context_set_state_callback(context_, contextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = "no sound server: " + lastError();
        return false;
    }
    if (pa_threaded_mainloop_start(loop_) < 0) {
        error = "cannot start the sound server's main loop";
        return false;
    }
    running_ = true;
    pa_threaded_mainloop_lock(loop_);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) break;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            error = "no sound server: " + lastError();
            pa_threaded_mainloop_unlock(loop_);
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }

    const pa_sample_spec format{PA_SAMPLE_S16LE, rate_, 2};
    stream_ = pa_stream_new(context_, name.c_str(), &format, nullptr);
    if (stream_ == nullptr) {
        error = "cannot make a sound stream: " + lastError();
        pa_threaded_mainloop_unlock(loop_);
        return false;
    }
    pa_stream_set_state_callback(stream_, streamState, this);
    pa_stream_set_write_callback(stream_, streamWrite, this);
    pa_stream_set_underflow_callback(stream_, streamUnderflow, this);
    pa_stream_set_started_callback(stream_, streamStarted, this);
    const auto bytes = [&](std::uint32_t ms) {
        return static_cast<std::uint32_t>(pa_usec_to_bytes(std::uint64_t{ms} * 1000, &format));
    };
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = bytes(bufferMs);
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = bytes(bufferMs / 5);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    const char* sink = device == "default" ? nullptr : device.c_str();
    // The timing the server reports, brought up to date by the host's
    // clock between its reports, for latencyMs().
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
    if (pa_stream_connect_playback(stream_, sink, &buffer, flags, nullptr, nullptr) < 0) {
        error = "cannot play on " + device + ": " + lastError();
        pa_threaded_mainloop_unlock(loop_);
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) break;
        if (!PA_STREAM_IS_GOOD(state)) {
            error = "cannot play on " + device + ": " + lastError();
            pa_threaded_mainloop_unlock(loop_);
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    failed_ = false;
    pa_threaded_mainloop_unlock(loop_);
    return true;
}

void PulseOutput::close() {
    if (loop_ == nullptr) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr) {
        if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            // Plays out what is queued; the write requests go unanswered now.
            stopping_ = true;
            if (pa_operation* drain = pa_stream_drain(stream_, drained, this)) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                while (!drainDone_ && pa_operation_get_state(drain) == PA_OPERATION_RUNNING &&
                       pa_stream_get_state(stream_) == PA_STREAM_READY &&
                       std::chrono::steady_clock::now() < deadline) {
                    pa_threaded_mainloop_unlock(loop_);
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    pa_threaded_mainloop_lock(loop_);
                }
                pa_operation_unref(drain);
            }
        }
        stopping_ = true;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_set_started_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    if (running_) pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

} // namespace

} // namespace platform

// The module's one export, called by AudioOutput::open (AudioOutput_posix.cpp):
// the output, or null with the reason in error. The caller owns the object;
// the module stays loaded for the life of the process.
extern "C" __attribute__((visibility("default"))) platform::AudioOutput*
tonrigOpenAudioOutput(const std::string& name, const std::string& device, std::uint32_t rate,
                      std::uint32_t bufferMs, const platform::AudioOutput::Source& source,
                      std::string& error) {
    auto output = std::make_unique<platform::PulseOutput>(rate, source);
    if (!output->start(name, device, bufferMs, error)) return nullptr;
    return output.release();
}
