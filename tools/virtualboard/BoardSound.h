// BoardSound: what one virtual board sounds like. The register writes and
// resets the board decodes go, at their wire times, into software chips of
// the board's model (KX7M: SSG, YM2151, YM2151; TRQ05: SSG, YM2413, YM2413;
// the SSG as a PSG at half the board clock; a position whose chip has no
// software model stays silent), mixed to 48 kHz stereo
// (mixer::BoardMixer), played live through the sound server and/or written
// to a WAV or FLAC file.
//
// Timing: output frame n stands for the board time originMs + n / 48 ms.
// The chips are rendered continuously, up to each event's time less the
// mixer's latency (its largest over the board's chips), then the event is
// applied, so the sound keeps the wire's timing to the output frame.
// While playing live, the server's requests pace the rendering, and each
// write is heard a fixed time after its wire time, the same for every run
// (platform::boardSoundDelayMs, 250 ms, in common/AudibleBoard.h: a player
// places other sound of the song by it): the server reports, with each
// request, when its first frame will be heard, and originMs follows these
// reports, smoothed (platform::SampleClock), so that frame n is heard at
// originMs + n / 48 + delay on the host's clock. The server keeps 100 ms
// queued: every event is known before the frames around it are rendered
// while the sound device's own latency stays under the rest of the delay;
// events that come later than that (a stalled caller, a slower device) are
// applied at once and counted as late (not an event known in time that the
// clock's smoothing moves a few frames before the block it was held for). A
// jump in the reports (the server ran dry or stalled) re-anchors the clock at
// once: a resync. Before the first report originMs lies the delay before the
// start, and should the server's pace part from the wire's clock by more
// than a few tens of milliseconds, originMs is moved to bring them together
// again (a resync too): the events of a skipped span sound at its end.
// Without live sound a thread of its own renders every 10 ms up to 20 ms
// ago. If the server goes away while playing, that thread takes over: the
// file still gets everything.
//
// The file gets exactly the frames the server was given, its header kept up
// to date after every block (a WAV is complete even if the process dies) and
// closed by finish().
#pragma once

#include "soundif/catalog/BoardLayout.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace virtualboard {

class BoardSound {
public:
    struct Settings {
        const catalog::BoardLayout* board = &catalog::boardLayoutOf(tavro::boardIdKx7m);
        std::uint32_t clock = 4000000;
        std::string audioDevice; // empty: no live sound; "default" or a sink name
        std::string wavPath;     // empty: no file; .flac: FLAC, else WAV
    };
    struct Summary {
        bool audio = false;       // played live
        bool audioFailed = false; // the server was lost while playing
        std::uint64_t underruns = 0;
        double startLatencyMs = -1; // from start to the server playing
        double latencyMs = -1;      // the server's latency last reported
        std::uint64_t lateEvents = 0;
        std::uint64_t resyncs = 0;
        std::uint64_t frames = 0; // 48 kHz frames made
        bool wavWritten = false;
    };

    // Starts sound at board time nowMs (milliseconds since epoch); nullptr,
    // with one line on standard error for each part that could not start,
    // when neither live sound nor a file runs. On a system without sound
    // support it says so and gives nullptr.
    static std::unique_ptr<BoardSound>
    start(const Settings& settings, std::chrono::steady_clock::time_point epoch, double nowMs);

    virtual ~BoardSound() = default;
    // Plays live (the server answered).
    virtual bool playing() const = 0;
    // A register write (address up to 0xFF) to the chip at position, at board
    // time ms.
    virtual void write(double ms, int position, std::uint8_t address, std::uint8_t data) = 0;
    // The board's reset line, at board time ms: every chip reset.
    virtual void reset(double ms) = 0;
    // Stops rendering (without live sound, after rendering up to ms), plays
    // out what the server holds, closes the file.
    virtual Summary finish(double ms) = 0;
};

} // namespace virtualboard
