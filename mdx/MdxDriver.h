// MdxDriver: plays an MDX song as the X68000's sound driver does, one timer-B
// tick at a time, and gives the YM2151 writes that tick makes, in the order
// that driver makes them, and the ADPCM notes its sample tracks start.
//
//     MdxDriver driver(song);
//     driver.start(writes);                  // the set-up before the first tick
//     while (!driver.ended()) {
//         driver.tick(writes, &samples);     // one overflow of timer B
//         wait(driver.tickSeconds());
//     }
//
// Time is the caller's: one tick lasts tickSeconds(), timer B's period at the
// song's tempo on the X68000's 4 MHz YM2151, kept on the host clock. So the
// driver never writes the timer registers (0x10-0x14); everything else it
// writes is what the reference driver writes, write for write in the same
// tick (tests/mdx/MdxReferenceTest.cpp). The sample tracks write nothing to
// the YM2151: their notes come out as AdpcmNote events for a software voice.
#pragma once

#include <cstdint>
#include <vector>

#include "mdx/MdxFile.h"
#include "mdx/SoftLfo.h"
#include "mdx/VolumeLfo.h"

namespace mdx {

struct Ym2151Write {
    std::uint8_t address;
    std::uint8_t data;
    bool operator==(const Ym2151Write&) const = default;
};

// A sample started on an ADPCM track (track 0 = P).
struct AdpcmNote {
    unsigned track;
    unsigned sample;
    unsigned rate;   // the track's rate setting (0xED n), 4 = 15.6 kHz
    unsigned pan;    // 0 off, 1 left, 2 right, 3 both
    unsigned volume; // the volume byte (0-15, or 0x80 + attenuation)
    // The key went off: the track's sample stops there (measured on the
    // reference driver's output: a sample longer than its note ends at the
    // note's key-off, by the gate or at the next note).
    bool stop = false;
    // The fade-out's level (steps of attenuation) as the note starts: a
    // sample keeps the level it started at (measured on the reference
    // driver's output, mdx/MdxMeasured.h pcm8Gain and adpcmFadeLimit).
    unsigned fade = 0;
};

class MdxDriver {
public:
    static constexpr double chipClock = 4000000.0;
    static constexpr unsigned timerBUnit = 1024;
    static constexpr unsigned timerBSteps = 256;
    static constexpr unsigned defaultTimerB = 200;

    explicit MdxDriver(const MdxFile& song);

    void start(std::vector<Ym2151Write>& out);
    void tick(std::vector<Ym2151Write>& out, std::vector<AdpcmNote>* samples = nullptr);

    unsigned timerB() const { return timerB_; }
    double tickSeconds() const { return timerBUnit * (timerBSteps - timerB_) / chipClock; }
    // Every track has ended (a song whose tracks loop never ends).
    bool ended() const;
    // How many times the song has looped: the fewest loops of its looping tracks.
    unsigned loops() const;
    std::size_t trackCount() const { return tracks_.size(); }
    bool keyOn(std::size_t track) const { return tracks_[track].keyed; }
    // Starts the driver's fade-out at a speed as the song's fade command
    // gives it; the song ends when it has faded out.
    void fadeOut(unsigned speed);
    bool fading() const { return fadeInterval_ > 0; }

    // What of the format the song used that the driver does not play, so
    // far: commands it does not know (their track stops there); extended
    // commands (0xE7 n) other than the fade.
    struct Unplayed {
        std::vector<std::uint8_t> commands;
        std::vector<std::uint8_t> extended;
        bool any() const { return !commands.empty() || !extended.empty(); }
    };
    const Unplayed& unplayed() const { return unplayed_; }

private:
    // The pitch the driver takes as written before its first write: a
    // first pitch computed as this (an LFO below the lowest note) writes
    // nothing (test "PitchBeforeTheFirstNote").
    static constexpr int firstWrittenPitch = -1;

    struct Track {
        unsigned index = 0;
        std::size_t pc = 0;
        bool ended = false;
        bool looping = false;
        unsigned loopCount = 0;
        bool waiting = false;
        bool signalled = false;
        int clocksLeft = 1;
        int gateLeft = 0;
        int keyOnDelay = 0;
        int keyOnDelayLeft = 0;
        bool keyed = false;
        bool tieNext = false;
        bool restEndsKey = false; // a rest without a legato before it: the key goes off at its end
        bool restStarted = false; // a rest began in this tick
        unsigned gate = 8;
        int detune = 0;
        int notePitch = 0;
        int lastPitch = firstWrittenPitch;
        int portamento = 0;
        bool portamentoArmed = false; // set by the command, until the next note or rest
        int portamentoSum = 0;
        SoftLfo pitchLfo;
        VolumeLfo volumeLfo;
        int lfoDelay = 0;
        bool lfoHeld = false; // in this tick, the LFO waits for a delayed key-on
        // In this tick, the pitch / volume LFO was set up or switched: it
        // moves, held or not.
        bool pitchLfoFreed = false;
        bool volumeLfoFreed = false;
        unsigned pan = 3;
        unsigned volume = 8;
        int chipConnection = -1; // the connection of the voice last written to the chip
        bool voiceDirty = false;
        bool panDirty = false;
        bool volumeDirty = false;    // by a new voice: written at the note
        int writtenAttenuation = -1; // the volume's (and fade's) last written to the chip
        bool fadeDirty = false;      // by the fade: written in the tick
        bool chipLfoSync = false;
        std::uint8_t chipSensitivity = 0;
        unsigned rate = 4;
        MdxVoice voice{};
    };

    bool isFm(const Track& t) const { return t.index < MdxFile::fmTrackCount; }
    static unsigned adpcmTrack(const Track& t) {
        return t.index - static_cast<unsigned>(MdxFile::fmTrackCount);
    }
    void tickTrack(Track& t);
    // Reads commands up to the next note or rest; true when a note began.
    bool runCommands(Track& t);
    bool need(Track& t, std::size_t bytes);
    std::uint8_t byteAt(std::size_t at) const { return body_[at]; }
    int wordAt(std::size_t at) const;
    void endPortamento(Track& t);
    void startNote(Track& t, unsigned note, int clocks);
    void keyOnStage(Track& t, bool key);
    void keyOff(Track& t);
    void effects(Track& t);
    int currentPitch(const Track& t) const;
    void writePitch(Track& t, int pitch);
    void restartLfos(Track& t, bool atDelayedKeyOn = false);
    // One tick of both LFOs; held: they wait for a delayed key-on.
    static void tickLfos(Track& t, bool held = false);
    int attenuationNow(const Track& t) const;
    bool volumeDue(const Track& t) const;
    static unsigned attenuationOf(unsigned volume);
    void writeVolume(Track& t);
    void writeCarrierLevels(Track& t, unsigned attenuation);
    void fadeStep();
    void write(unsigned address, unsigned data);
    void writeLfoWaveform(std::uint8_t value);
    static void noteUnplayed(std::vector<std::uint8_t>& list, std::uint8_t code);

    std::vector<std::uint8_t> body_;
    std::vector<Track> tracks_;
    const MdxFile* song_;
    unsigned timerB_ = defaultTimerB;
    int fadeInterval_ = 0;
    int fadeCounter_ = 0;
    unsigned fadeLevel_ = 0;
    std::vector<Ym2151Write>* out_ = nullptr;
    std::vector<AdpcmNote>* samples_ = nullptr;
    Unplayed unplayed_;
    // The CT bits (0x1B) the song's register writes set, given with the
    // next write to that register.
    std::uint8_t controlOutput_ = 0;
};

} // namespace mdx
