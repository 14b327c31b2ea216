// AudioOutput: live sound, the one place that plays it: through the sound
// server on Linux (the PulseAudio client library, which PipeWire serves too),
// through the system's waveform-audio output on Windows (AudioOutput_win32.cpp).
// The virtual board links it, and tavroplay for the samples of the songs it
// plays on a board. The sound library is loaded at the first open(): on Linux
// the module libtonrig_audio_pulse.so from beside the calling module (with
// the X11 libraries it brings), on Windows winmm.dll; a process that plays
// nothing never maps either.
//
// The output pulls: from the moment open() succeeds, its own thread calls the
// source for the next frames (16-bit, interleaved left, right, at the rate
// given) whenever the server's buffer needs them, until close(). The source
// must not block. An underrun is a moment the server found the buffer empty
// while playing; each one is counted.
//
// Buffering: the server is asked to keep about bufferMs of sound queued and
// to ask for more in pieces of about a fifth of it; the sound is heard that
// much (plus the device's own latency) after the source makes it. While the
// source runs, latencyMs() tells how long from now its first frame will take
// to be heard, as the server reports its buffer and the device's latency: a
// player that keeps other sound in step with its own clock places its frames
// by it, and follows the device's clock drifting from the host's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class AudioOutput {
public:
    using Source = std::function<void(std::int16_t* leftRight, std::size_t frames)>;

    // Connects to the server and starts playing on device ("default": the
    // server's default sink), under a name the server shows for the player
    // ("tavroplay"); nullptr, with the reason in error, when no server
    // answers or the stream cannot be made. Never starts a server.
    static std::unique_ptr<AudioOutput> open(const std::string& name, const std::string& device,
                                             std::uint32_t rate, std::uint32_t bufferMs,
                                             Source source, std::string& error);

    virtual ~AudioOutput() = default;

    // Plays out what the source gave (waiting at most about a second), then
    // stops; the source is not called any more. Also done on destruction.
    virtual void close() = 0;
    // Underruns counted so far.
    virtual std::uint64_t underruns() const = 0;
    // Milliseconds from open() to the moment the server started playing; a
    // negative value until it has.
    virtual double startLatencyMs() const = 0;
    // The stream was lost after it started (the server went away); the source
    // is not called any more.
    virtual bool failed() const = 0;
    // Read by the source while it runs: milliseconds from now until the
    // first frame it is asked for is heard; negative while the server has
    // not reported its timing yet.
    virtual double latencyMs() const = 0;
};

} // namespace platform
