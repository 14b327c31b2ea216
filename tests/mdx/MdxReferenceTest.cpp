// Our MDX driver against the reference driver: for songs made for one
// command each, and for combinations, our YM2151 writes (address, data,
// order) must equal the reference's, write for write, in the same timer-B
// tick. These songs are also where the driver's undocumented behaviour was
// measured (mdx/MdxMeasured.h names the song that shows each number). The
// comparison skips when ../shared/reference/portable-mdx is absent.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "LevelSongs.h"
#include "MdxBuilder.h"
#include "mdx/MdxDriver.h"
#include "mdx/MdxMeasured.h"

#ifdef TONRIG_HAVE_MDX_REFERENCE
#include "ReferenceMdxDriver.h"
#endif

namespace {

using mdx::Ym2151Write;
using mdxtest::Song;
using mdxtest::Track;

constexpr int maxTicks = 400;
constexpr int voiceOne = 1;
constexpr int voiceTwo = 2;
constexpr int allCarriers = 0x07;
constexpr int tempo = 200;

struct Case {
    const char* name;
    std::function<void(Song&)> make;
    // The share of writes that must be equal: 1 (every write, tick for
    // tick) but for the known differences (randomCases), held at the share
    // measured so that none gets worse.
    double floor = 1.0;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// An LFO delay cut short: delay `delay` and an LFO (pitch or volume) of
// `wave`, period 3, a note keyed on after `keyOnDelay` ticks, "no delay"
// `ticksAfter` + 1 ticks after that key-on, with the next note (keyed on
// after `nextKeyOnDelay`), while the delay the key-on began still runs.
void lfoDelayCut(Track& t, int delay, int keyOnDelay, int ticksAfter, int nextKeyOnDelay,
                 bool volumeLfo, int wave) {
    constexpr int period = 3;
    constexpr int amplitude = 300;
    t.voice(voiceOne).lfoDelay(delay);
    if (volumeLfo)
        t.volumeLfo(wave, period, amplitude);
    else
        t.pitchLfo(wave, period, amplitude);
    t.keyOnDelay(keyOnDelay).note(40, keyOnDelay + ticksAfter + 1);
    t.lfoDelay(0).keyOnDelay(nextKeyOnDelay).note(45, 14).end();
}

// The songs: each named after what it shows.
const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"Notes",
         [](Song& s) {
             s.tracks[0]
                 .tempo(tempo)
                 .voice(voiceOne)
                 .volume(10)
                 .note(30, 8)
                 .rest(4)
                 .note(31, 4)
                 .note(0, 2)
                 .note(95, 2)
                 .note(95, 2)
                 .end();
         }},
        {"Start", [](Song& s) { s.tracks[0].rest(3).end(); }},
        {"VolumeSteps",
         [](Song& s) {
             Track& t = s.tracks[0].tempo(tempo).voice(voiceOne);
             for (int v = 0; v < 16; ++v)
                 t.volume(v).note(30, 2);
             t.volume(0x80).note(30, 2).volume(0x85).note(30, 2).volume(0xFF).note(30, 2);
             s.tracks[1].tempo(tempo).voice(voiceTwo);
             for (int v = 15; v >= 0; --v)
                 s.tracks[1].volume(v).note(40, 2);
             s.tracks[1].end();
             t.end();
         }},
        {"VolumeUpDown",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne).volume(14).note(30, 2).volume(14).note(30, 2);
             for (int i = 0; i < 3; ++i)
                 t.volumeUp().note(30, 2);
             for (int i = 0; i < 17; ++i)
                 t.volumeDown().note(30, 2);
             t.volume(0x81)
                 .volumeUp()
                 .note(30, 2)
                 .volumeUp()
                 .note(30, 2)
                 .volume(0xFE)
                 .volumeDown()
                 .note(30, 2)
                 .volumeDown()
                 .note(30, 2)
                 .end();
         }},
        {"Gate",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             for (int q = 0; q <= 8; ++q)
                 for (int len : {1, 2, 3, 5, 7, 8, 13})
                     t.gate(q).note(30, len);
             t.end();
         }},
        {"GateNegative",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             for (int q : {0x80, 0x83, 0xF0, 0xFD, 0xFE, 0xFF, 9, 10, 16, 0x7F})
                 for (int len : {1, 2, 3, 5, 8, 20})
                     t.gate(q).note(30, len);
             t.end();
         }},
        {"Detune",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             for (int d : {0, 1, 5, 63, 64, -1, -64, 200, -6000, 7000})
                 t.detune(d).note(30, 2);
             t.end();
         }},
        {"Pan",
         [](Song& s) {
             s.tracks[2]
                 .voice(voiceOne)
                 .note(30, 2)
                 .pan(1)
                 .note(30, 2)
                 .pan(0)
                 .note(30, 2)
                 .pan(2)
                 .rest(2)
                 .pan(3)
                 .note(31, 2)
                 .end();
         }},
        {"Legato",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(30, 2)
                 .legato()
                 .note(30, 2)
                 .note(31, 2)
                 .legato()
                 .note(31, 2)
                 .legato()
                 .note(32, 2)
                 .note(33, 2)
                 .gate(4)
                 .legato()
                 .note(34, 4)
                 .note(35, 4)
                 .end();
         }},
        {"VolumeBeforeRest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceTwo)
                 .volume(3)
                 .note(30, 4)
                 .volume(0xE8)
                 .rest(4)
                 .note(30, 4)
                 .volumeDown()
                 .rest(2)
                 .note(31, 2)
                 .volume(5)
                 .voice(voiceOne)
                 .rest(3)
                 .note(32, 3)
                 .end();
             s.tracks[1].volume(4).rest(2).voice(voiceOne).volumeUp().rest(2).note(40, 2).end();
         }},
        {"LegatoThenRest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .legato()
                 .note(30, 2)
                 .rest(3)
                 .note(31, 2)
                 .gate(2)
                 .legato()
                 .note(32, 4)
                 .rest(2)
                 .note(33, 3)
                 .end();
         }},
        {"KeyOnDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .keyOnDelay(2)
                 .note(30, 4)
                 .volume(3)
                 .pan(1)
                 .note(31, 4)
                 .gate(4)
                 .note(32, 8)
                 .voice(voiceTwo)
                 .note(33, 3)
                 .keyOnDelay(5)
                 .note(34, 3)
                 .keyOnDelay(0)
                 .note(33, 2)
                 .end();
         }},
        {"Portamento",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .portamento(100)
                 .note(30, 6)
                 .note(30, 3)
                 .portamento(-300)
                 .note(40, 10)
                 .portamento(2000)
                 .note(10, 20)
                 .end();
         }},
        {"VoiceChangeMidNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(30, 3)
                 .voice(voiceTwo)
                 .note(30, 3)
                 .legato()
                 .note(30, 3)
                 .voice(voiceOne)
                 .note(31, 3)
                 .end();
         }},
        {"PitchLfoWaves",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             for (int wave = 0; wave < 3; ++wave)
                 for (int period : {1, 4, 5})
                     t.pitchLfo(wave, period, 1000).note(30, 12);
             t.lfoSwitch(0xEC, 0x80).note(30, 4).lfoSwitch(0xEC, 0x81).note(30, 6).end();
         }},
        {"LfoDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(3)
                 .pitchLfo(0, 2, 700)
                 .note(30, 10)
                 .note(31, 10)
                 .pitchLfo(2, 3, 900)
                 .note(32, 10)
                 .lfoDelay(0)
                 .note(33, 6)
                 .end();
         }},
        {"PortamentoAcrossRests",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(30, 4)
                 .portamento(821)
                 .rest(1)
                 .rest(4)
                 .note(40, 4)
                 .portamento(-700)
                 .rest(3)
                 .note(41, 4)
                 .portamento(600)
                 .note(30, 4)
                 .rest(3)
                 .note(40, 4)
                 .end();
             s.tracks[1].voice(voiceOne).portamento(821).rest(2).note(30, 4).note(40, 4).end();
         }},
        {"LegatoBeforeRest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(33, 3)
                 .legato()
                 .rest(3)
                 .gate(0xFC)
                 .note(34, 12)
                 .legato()
                 .note(35, 4)
                 .end();
         }},
        {"VolumeBeforeRestAfterGate",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .gate(4)
                 .note(30, 4)
                 .volume(3)
                 .rest(2)
                 .note(31, 2)
                 .gate(8)
                 .legato()
                 .note(32, 2)
                 .volume(7)
                 .rest(2)
                 .note(33, 2)
                 .end();
         }},
        {"VolumeSameLevel",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceTwo)
                 .gate(7)
                 .note(84, 4)
                 .volume(0x95)
                 .rest(1)
                 .note(60, 6)
                 .volume(0x94)
                 .note(61, 2)
                 .volume(7)
                 .rest(1)
                 .note(62, 2)
                 .end();
         }},
        {"LfoOnTiedNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .note(30, 1)
                 .legato()
                 .note(8, 2)
                 .pitchLfo(0, 4, 1493)
                 .note(31, 9)
                 .legato()
                 .note(32, 6)
                 .note(33, 8)
                 .end();
         }},
        {"PortamentoAndKeyOnDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .rest(2)
                 .portamento(454)
                 .rest(1)
                 .keyOnDelay(2)
                 .note(50, 2)
                 .portamento(651)
                 .keyOnDelay(1)
                 .note(5, 3)
                 .keyOnDelay(0)
                 .legato()
                 .note(20, 4)
                 .portamento(300)
                 .note(22, 4)
                 .end();
         }},
        {"LfoAcrossNotes",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).pitchLfo(1, 2, -1000).note(10, 6).note(21, 12).end();
             s.tracks[1].voice(voiceOne).pitchLfo(1, 3, -1000).note(10, 5).note(21, 12).end();
             s.tracks[2].voice(voiceOne).pitchLfo(0, 3, -1000).note(10, 5).note(21, 12).end();
             s.tracks[3].voice(voiceOne).pitchLfo(2, 3, -1000).note(10, 5).note(21, 12).end();
         }},
        {"LfoSetUpOnTiedNote",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).legato().note(2, 6).pitchLfo(2, 6, -909).note(39, 8).end();
             s.tracks[1].voice(voiceOne).legato().note(2, 6).pitchLfo(1, 1, 813).note(39, 8).end();
             s.tracks[2].voice(voiceOne).legato().note(2, 6).pitchLfo(0, 4, 1493).note(39, 8).end();
         }},
        {"KeyOnDelayAsLongAsTheNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .keyOnDelay(3)
                 .note(59, 9)
                 .note(80, 3)
                 .pan(2)
                 .rest(2)
                 .note(44, 3)
                 .keyOnDelay(4)
                 .note(45, 3)
                 .note(46, 5)
                 .end();
         }},
        {"PitchBelowTheRange",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .pitchLfo(2, 8, -754)
                 .detune(-159)
                 .note(0, 7)
                 .detune(0)
                 .note(95, 3)
                 .detune(300)
                 .note(95, 5)
                 .end();
         }},
        {"DetuneAndVolumeBeforeRest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .volume(5)
                 .note(40, 1)
                 .detune(-280)
                 .volume(10)
                 .rest(4)
                 .note(41, 3)
                 .end();
         }},
        {"LegatoThenRestThenCommands",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .legato()
                 .note(19, 1)
                 .rest(3)
                 .chipLfo(0x13, 0x31, 0x86, 0x11, 0x45)
                 .note(12, 2)
                 .legato()
                 .note(13, 2)
                 .rest(1)
                 .rest(2)
                 .note(14, 2)
                 .end();
         }},
        {"KeyOnDelayHoldsEffects",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .pitchLfo(1, 2, 677)
                 .lfoDelay(1)
                 .note(23, 1)
                 .keyOnDelay(3)
                 .portamento(384)
                 .lfoSwitch(0xEC, 0x81)
                 .lfoDelay(3)
                 .note(31, 5)
                 .pitchLfo(2, 4, 1485)
                 .note(51, 9)
                 .lfoDelay(0)
                 .note(52, 6)
                 .end();
         }},
        {"LfoAndKeyOnDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .keyOnDelay(1)
                 .lfoDelay(3)
                 .pitchLfo(2, 1, 1172)
                 .note(16, 8)
                 .keyOnDelay(2)
                 .pitchLfo(0, 3, 900)
                 .note(17, 8)
                 .lfoDelay(0)
                 .portamento(500)
                 .note(18, 6)
                 .end();
         }},
        {"PortamentoWithLfo",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).pitchLfo(2, 4, 500).portamento(300).note(30, 12).end();
         }},
        {"ChipLfo",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .chipLfo(0x42, 0x80, 0xFF, 0x33, 0x35)
                 .note(30, 4)
                 .lfoSwitch(0xEA, 0x80)
                 .note(30, 4)
                 .lfoSwitch(0xEA, 0x81)
                 .note(30, 4)
                 .chipLfo(0x01, 0x10, 0x90, 0x10, 0x22)
                 .note(31, 3)
                 .end();
         }},
        {"RegisterWrite",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .reg(0x1B, 0x02)
                 .note(30, 2)
                 .reg(0x60, 0x11)
                 .reg(0x10, 0x55)
                 .rest(1)
                 .end();
         }},
        {"NoiseOnChannel8",
         [](Song& s) {
             s.tracks[7]
                 .voice(voiceOne)
                 .noise(0x80 | 0x1F)
                 .note(30, 3)
                 .noise(0x85)
                 .note(31, 3)
                 .noise(0)
                 .note(32, 3)
                 .end();
         }},
        {"TempoChanges",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .tempo(100)
                 .note(30, 3)
                 .tempo(250)
                 .note(31, 3)
                 .tempo(0)
                 .note(32, 2)
                 .end();
         }},
        {"Repeats",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             t.repeatStart(3);
             std::size_t body = t.mark();
             t.note(30, 2);
             std::size_t escape = 0;
             t.repeatEscape(escape).note(31, 2);
             t.repeatEnd(body).escapeTarget(escape).note(32, 2);
             t.repeatStart(2);
             std::size_t inner = t.mark();
             t.note(33, 1).repeatEnd(inner).end();
         }},
        {"SyncWaitSend",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(30, 4)
                 .syncSend(1)
                 .note(31, 4)
                 .syncSend(2)
                 .rest(2)
                 .end();
             s.tracks[1].voice(voiceOne).syncWait().note(40, 3).syncWait().note(41, 2).end();
             s.tracks[2].voice(voiceTwo).syncSend(3).note(20, 2).syncWait().note(21, 2).end();
             s.tracks[3]
                 .voice(voiceTwo)
                 .note(22, 1)
                 .syncWait()
                 .note(23, 1)
                 .rest(3)
                 .syncSend(1)
                 .note(24, 2)
                 .syncSend(0)
                 .end();
         }},
        {"Loop",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne);
             std::size_t top = t.mark();
             t.note(30, 3).note(32, 2).loopTo(top);
         }},
        {"VolumeLfoWaves",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne).volume(8);
             for (int wave = 0; wave < 3; ++wave)
                 for (int period : {1, 4, 5})
                     t.volumeLfo(wave, period, 3).note(30, 12);
             t.lfoSwitch(0xEB, 0x80)
                 .note(30, 4)
                 .lfoSwitch(0xEB, 0x81)
                 .note(30, 6)
                 .lfoDelay(3)
                 .note(31, 8)
                 .volume(0x80)
                 .note(31, 6)
                 .volume(0x85)
                 .volumeLfo(0, 3, -2)
                 .note(31, 5)
                 .end();
             s.tracks[1].voice(voiceTwo).volume(12).volumeLfo(2, 6, 40).note(40, 30).end();
         }},
        {"Fade",
         [](Song& s) {
             Track& t = s.tracks[0].voice(voiceOne).volume(12);
             std::size_t top = t.mark();
             t.note(30, 10).note(31, 10).loopTo(top);
             s.tracks[1].voice(voiceTwo).volume(0x83).note(40, 40).fade(5).note(41, 200).end();
         }},
        {"AdpcmTrack",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).note(30, 3).end();
             s.tracks[8].noise(4).pan(2).volume(10).note(0, 3).note(5, 2).rest(2).note(2, 4).end();
         }},
        {"VolumeBackToTheSame",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .note(30, 2)
                 .volumeUp()
                 .volumeDown()
                 .note(31, 2)
                 .volume(9)
                 .volume(8)
                 .note(32, 2)
                 .volume(9)
                 .rest(2)
                 .volume(8)
                 .note(33, 2)
                 .volume(3)
                 .note(33, 2)
                 .end();
         }},
        {"LegatoRest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .gate(7)
                 .keyOnDelay(2)
                 .note(30, 3)
                 .legato()
                 .rest(1)
                 .keyOnDelay(0)
                 .note(31, 2)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .gate(7)
                 .keyOnDelay(2)
                 .note(30, 3)
                 .legato()
                 .rest(1)
                 .keyOnDelay(0)
                 .legato()
                 .note(31, 2)
                 .end();
             s.tracks[2].voice(voiceOne).note(30, 3).legato().rest(1).note(31, 2).end();
             s.tracks[3].voice(voiceOne).legato().note(30, 3).legato().rest(3).note(31, 2).end();
             s.tracks[4]
                 .voice(voiceOne)
                 .gate(7)
                 .keyOnDelay(2)
                 .note(30, 3)
                 .rest(1)
                 .keyOnDelay(0)
                 .legato()
                 .note(31, 2)
                 .end();
         }},
        {"ChipLfoSyncOnTiedNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .chipLfo(0x42, 0x80, 0xFF, 0x33, 0x35)
                 .legato()
                 .note(30, 4)
                 .legato()
                 .note(31, 4)
                 .note(32, 4)
                 .keyOnDelay(2)
                 .note(33, 4)
                 .legato()
                 .note(34, 4)
                 .note(35, 4)
                 .end();
         }},
        {"LfoAndKeyOnDelayOnTiedNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .pitchLfo(2, 7, 134)
                 .legato()
                 .note(73, 1)
                 .keyOnDelay(1)
                 .legato()
                 .note(24, 4)
                 .note(25, 6)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .portamento(317)
                 .lfoDelay(2)
                 .pitchLfo(0, 3, 300)
                 .legato()
                 .note(40, 2)
                 .keyOnDelay(2)
                 .note(41, 5)
                 .end();
         }},
        {"KeyOnDelayPastTheEnd",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).keyOnDelay(2).note(30, 1).end();
             s.tracks[1].voice(voiceOne).keyOnDelay(3).note(31, 2).rest(1).end();
             s.tracks[2].voice(voiceOne).portamento(500).keyOnDelay(4).gate(2).note(32, 2).end();
         }},
        {"PortamentoAtTheEnd",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).portamento(-844).note(79, 3).end();
             s.tracks[1].voice(voiceOne).keyOnDelay(3).portamento(-844).note(79, 3).end();
             s.tracks[2].voice(voiceOne).keyOnDelay(2).portamento(-844).note(79, 3).end();
             s.tracks[3].voice(voiceOne).note(50, 3).portamento(-844).end();
             s.tracks[4].voice(voiceOne).portamento(-844).note(79, 3).rest(4).note(70, 5).end();
         }},
        {"LfoDelayChangedUnderWay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(2, 6, 986)
                 .legato()
                 .note(14, 2)
                 .lfoDelay(2)
                 .note(20, 6)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .pitchLfo(0, 5, 700)
                 .legato()
                 .note(30, 4)
                 .lfoDelay(8)
                 .legato()
                 .note(31, 6)
                 .lfoDelay(0)
                 .note(32, 6)
                 .end();
             s.tracks[2]
                 .voice(voiceOne)
                 .lfoDelay(6)
                 .pitchLfo(1, 2, 900)
                 .legato()
                 .note(40, 2)
                 .lfoDelay(0)
                 .note(41, 6)
                 .end();
         }},
        {"TriangleSetUpDuringTheDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .legato()
                 .note(14, 1)
                 .pitchLfo(2, 6, 986)
                 .note(20, 11)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .keyOnDelay(1)
                 .note(14, 2)
                 .pitchLfo(2, 6, 986)
                 .note(2, 11)
                 .end();
             s.tracks[2]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .keyOnDelay(1)
                 .note(14, 2)
                 .pitchLfo(1, 6, 986)
                 .note(2, 11)
                 .end();
             s.tracks[3]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .keyOnDelay(1)
                 .note(14, 2)
                 .pitchLfo(0, 6, 986)
                 .note(2, 11)
                 .end();
             s.tracks[4]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .keyOnDelay(2)
                 .note(14, 3)
                 .pitchLfo(2, 6, 986)
                 .note(2, 11)
                 .end();
             s.tracks[5]
                 .voice(voiceOne)
                 .lfoDelay(5)
                 .pitchLfo(2, 6, 986)
                 .legato()
                 .note(14, 1)
                 .lfoSwitch(0xEC, 0x81)
                 .note(20, 11)
                 .end();
         }},
        {"KeyOnDelayHoldsTheLfoPastTheNote",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .rest(5)
                 .end();
             s.tracks[2]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .note(62, 5)
                 .end();
             s.tracks[3]
                 .voice(voiceOne)
                 .lfoDelay(0)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .end();
             s.tracks[4]
                 .voice(voiceOne)
                 .lfoDelay(0)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .rest(5)
                 .end();
             s.tracks[5]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(3)
                 .note(61, 2)
                 .rest(5)
                 .end();
             s.tracks[6]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(3)
                 .note(61, 2)
                 .end();
             s.tracks[7]
                 .voice(voiceOne)
                 .portamento(616)
                 .lfoDelay(4)
                 .pitchLfo(1, 9, -1254)
                 .keyOnDelay(2)
                 .note(61, 1)
                 .end();
         }},
        {"LfoDelaySetWhileAKeyOnWaits",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .pitchLfo(0, 7, 574)
                 .keyOnDelay(3)
                 .note(58, 1)
                 .lfoDelay(1)
                 .note(31, 11)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .pitchLfo(2, 5, 700)
                 .lfoDelay(2)
                 .keyOnDelay(3)
                 .note(58, 2)
                 .lfoDelay(0)
                 .note(31, 11)
                 .end();
         }},
        {"PitchBeforeTheFirstNote",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).rest(3).end();
             s.tracks[1].voice(voiceOne).pitchLfo(2, 8, -192).rest(3).end();
             s.tracks[2].voice(voiceOne).pitchLfo(2, 8, 192).rest(3).end();
             s.tracks[3].voice(voiceOne).pitchLfo(0, 8, -300).rest(5).end();
             s.tracks[4].voice(voiceOne).detune(-3).rest(3).end();
             s.tracks[5].voice(voiceOne).detune(-3).end();
             s.tracks[6].voice(voiceOne).pitchLfo(2, 8, -192).end();
             s.tracks[7].voice(voiceOne).pitchLfo(0, 8, -100).rest(9).end();
         }},
        {"LfoDelayAtAKeyOnPastAWaitingOne",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceTwo)
                 .lfoDelay(2)
                 .pitchLfo(1, 4, 959)
                 .keyOnDelay(2)
                 .note(63, 1)
                 .keyOnDelay(0)
                 .legato()
                 .note(90, 2)
                 .note(12, 1)
                 .note(54, 11)
                 .end();
         }},
        {"LfoDelaySetAtARest",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .pitchLfo(0, 7, -426)
                 .keyOnDelay(3)
                 .note(51, 1)
                 .lfoDelay(1)
                 .rest(4)
                 .note(40, 6)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .pitchLfo(1, 3, 700)
                 .lfoDelay(2)
                 .keyOnDelay(3)
                 .note(51, 1)
                 .lfoDelay(0)
                 .rest(4)
                 .note(40, 6)
                 .end();
         }},
        {"ControlOutputBits",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .reg(0x1B, 0xC3)
                 .rest(1)
                 .chipLfo(0x02, 0x10, 0x90, 0x10, 0x22)
                 .rest(1)
                 .chipLfo(0x03, 0x10, 0x90, 0x10, 0x22)
                 .rest(1)
                 .reg(0x1B, 0x05)
                 .rest(1)
                 .reg(0x18, 0x33)
                 .reg(0x1B, 0x06)
                 .rest(2)
                 .end();
         }},
        {"LfoDelayCutAfterAKeyOn",
         [](Song& s) {
             // Each wave of the pitch LFO, then of the volume LFO; the
             // triangle goes on from 0.
             s.tracks[0].tempo(tempo);
             for (int wave = 0; wave < 3; ++wave) {
                 lfoDelayCut(s.tracks[static_cast<std::size_t>(wave)], 4, 0, 0, 0, false, wave);
                 lfoDelayCut(s.tracks[static_cast<std::size_t>(3 + wave)], 5, 0, 1, 2, true, wave);
             }
             lfoDelayCut(s.tracks[6], 7, 0, 3, 0, false, 2);
             lfoDelayCut(s.tracks[7], 7, 0, 2, 2, true, 2);
         }},
        {"LfoDelayCutAfterADelayedKeyOn",
         [](Song& s) {
             // The shape that ran before the key-on goes on, one step
             // further; a volume triangle so turned downwards goes beyond
             // the TL's range.
             s.tracks[0].tempo(tempo);
             for (int wave = 0; wave < 3; ++wave) {
                 lfoDelayCut(s.tracks[static_cast<std::size_t>(wave)], 4, 1, 0, 0, false, wave);
                 lfoDelayCut(s.tracks[static_cast<std::size_t>(3 + wave)], 5, 2, 1, 2, true, wave);
             }
             lfoDelayCut(s.tracks[6], 7, 3, 2, 0, false, 1);
             // A shape set up while the delay runs starts afresh.
             s.tracks[7]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .pitchLfo(0, 3, 300)
                 .keyOnDelay(2)
                 .note(40, 3)
                 .pitchLfo(2, 5, 305)
                 .lfoDelay(0)
                 .rest(1)
                 .note(45, 12)
                 .end();
         }},
        {"NoLfoDelayWhileAKeyOnWaits",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .pitchLfo(1, 3, 1000)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .lfoDelay(0)
                 .rest(8)
                 .end();
             s.tracks[1]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .pitchLfo(1, 3, 1000)
                 .lfoDelay(0)
                 .rest(8)
                 .end();
             s.tracks[2]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .pitchLfo(1, 3, 1000)
                 .rest(8)
                 .end();
             s.tracks[3]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .pitchLfo(1, 3, 1000)
                 .rest(1)
                 .lfoDelay(0)
                 .rest(7)
                 .end();
             s.tracks[4]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .lfoDelay(0)
                 .pitchLfo(1, 3, 1000)
                 .rest(8)
                 .end();
             s.tracks[5]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .pitchLfo(1, 3, 1000)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .pitchLfo(1, 3, 1000)
                 .rest(8)
                 .end();
             s.tracks[6]
                 .voice(voiceOne)
                 .lfoDelay(1)
                 .pitchLfo(1, 3, 1000)
                 .keyOnDelay(3)
                 .note(30, 1)
                 .lfoSwitch(0xEC, 0x81)
                 .rest(8)
                 .end();
         }},
        // An LFO set up (or switched on) while held for a key-on delayed past
        // its note's end moves in that tick: a key-on due as the next note
        // starts then leaves it one step ahead (pitch: tracks 0, 1, 5;
        // volume: track 3); one due later holds it again from the next tick
        // (track 2). The other LFO stays held (track 4).
        {"LfoSetUpWhileAKeyOnWaits",
         [](Song& s) {
             auto waitingKeyOn = [](Track& t, int keyOnDelay) -> Track& {
                 return t.voice(voiceOne)
                     .lfoDelay(4)
                     .note(30, 6)
                     .keyOnDelay(keyOnDelay)
                     .note(40, 2);
             };
             auto nextNote = [](Track& t) { t.keyOnDelay(3).note(41, 10).note(42, 8).end(); };
             nextNote(waitingKeyOn(s.tracks[0], 3).pitchLfo(0, 7, 300).rest(1));
             nextNote(waitingKeyOn(s.tracks[1], 3).pitchLfo(2, 7, 300).rest(1));
             nextNote(waitingKeyOn(s.tracks[2], 4).pitchLfo(0, 7, 300).rest(1));
             nextNote(
                 waitingKeyOn(s.tracks[3].volumeLfo(0, 7, 300), 3).volumeLfo(2, 5, 600).rest(1));
             nextNote(
                 waitingKeyOn(s.tracks[4].volumeLfo(0, 7, 300), 3).pitchLfo(0, 7, 300).rest(1));
             nextNote(waitingKeyOn(s.tracks[5].pitchLfo(0, 7, 300).lfoSwitch(0xEC, 0x80), 3)
                          .lfoSwitch(0xEC, 0x81)
                          .rest(1));
         }},
        // "No delay" stops an LFO delay under way; the rest of it comes back
        // for a shape set up after a delay is set again, holding it (pitch:
        // track 0, volume: track 1), unless a key-on came between (track 2);
        // without a delay set again the shape starts at once (track 3).
        {"LfoDelayStoppedThenSetAgain",
         [](Song& s) {
             auto stopped = [](Track& t) -> Track& {
                 return t.voice(voiceOne).lfoDelay(4).note(30, 2).lfoDelay(0);
             };
             auto after = [](Track& t) { t.rest(6).note(31, 8).end(); };
             after(stopped(s.tracks[0]).rest(2).lfoDelay(3).pitchLfo(1, 6, 788));
             after(stopped(s.tracks[1]).rest(2).lfoDelay(3).volumeLfo(1, 6, 788));
             after(stopped(s.tracks[2]).rest(1).note(32, 2).lfoDelay(3).pitchLfo(1, 6, 788));
             after(stopped(s.tracks[3]).rest(2).pitchLfo(1, 6, 788));
         }},
        // "No delay" cutting short a delay a key-on began: a volume LFO of
        // negative amplitude goes on from a level of 0 too, not from its top
        // (saw, square, triangle; periods 1 and 3).
        {"LfoDelayCutOnADownwardVolumeLfo",
         [](Song& s) {
             for (int track = 0; track < 6; ++track)
                 s.tracks[static_cast<std::size_t>(track)]
                     .voice(voiceOne)
                     .volumeLfo(track % 3, track < 3 ? 1 : 3, -1015)
                     .lfoDelay(4)
                     .note(30, 2)
                     .lfoDelay(0)
                     .note(35, 10)
                     .end();
         }},
        // "No delay" while a key-on delayed past its note's end holds an LFO
        // that ran through the note before: the LFO stays held, its shape
        // where it was, and goes on from there at the key-on (pitch and
        // volume LFO, LFO delays 1 and 3).
        {"NoLfoDelayWhileAKeyOnWaitsPastANote",
         [](Song& s) {
             struct Shape {
                 int delay;
                 bool volume;
                 int wave;
             };
             const Shape shapes[] = {{1, false, 0}, {1, false, 2}, {1, true, 1},
                                     {3, false, 1}, {3, true, 2},  {1, true, 0}};
             for (std::size_t track = 0; track < std::size(shapes); ++track) {
                 const Shape& shape = shapes[track];
                 Track& t = s.tracks[track];
                 t.voice(voiceOne).lfoDelay(shape.delay);
                 if (shape.volume)
                     t.volumeLfo(shape.wave, 4, 1174);
                 else
                     t.pitchLfo(shape.wave, 4, 1174);
                 t.note(30, 6).keyOnDelay(3).note(31, 2).lfoDelay(0).rest(5);
                 t.keyOnDelay(0).note(32, 6).end();
             }
         }},
        // Key-ons in a row, the second while the LFO delay the first began
        // still runs, then "no delay": the shape goes on from the one that
        // ran before the first key-on, one step on (pitch: saw, square,
        // triangle of periods 3, 4, 5, amplitudes of both signs; volume:
        // square and triangle), the key-ons one and two ticks apart.
        {"LfoDelayCutAfterKeyOnsInARow",
         [](Song& s) {
             struct Shape {
                 bool volume;
                 int wave;
                 int period;
                 int amplitude;
                 int apart;
             };
             const Shape shapes[] = {{false, 0, 4, 300, 1},  {false, 1, 3, 300, 1},
                                     {false, 2, 5, -148, 2}, {false, 1, 5, -300, 2},
                                     {true, 1, 3, 600, 1},   {true, 2, 5, 600, 2}};
             for (std::size_t track = 0; track < std::size(shapes); ++track) {
                 const Shape& shape = shapes[track];
                 Track& t = s.tracks[track];
                 t.voice(voiceOne).lfoDelay(4);
                 if (shape.volume)
                     t.volumeLfo(shape.wave, shape.period, shape.amplitude);
                 else
                     t.pitchLfo(shape.wave, shape.period, shape.amplitude);
                 t.note(40, 12).gate(1).note(41, shape.apart).note(42, 1).lfoDelay(0);
                 t.keyOnDelay(2).note(45, 14).end();
             }
         }},
        {"VolumeLfoShapes",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).volumeLfo(0, 3, 1000).note(30, 8).note(31, 8).end();
             s.tracks[1].voice(voiceOne).volumeLfo(1, 3, 1000).note(30, 8).note(31, 8).end();
             s.tracks[2].voice(voiceOne).volumeLfo(2, 3, 1000).note(30, 8).note(31, 8).end();
             s.tracks[3].voice(voiceOne).volumeLfo(0, 3, -1000).note(30, 8).note(31, 8).end();
             s.tracks[4].voice(voiceOne).volumeLfo(2, 3, -1000).note(30, 8).note(31, 8).end();
             s.tracks[5].voice(voiceOne).volumeLfo(1, 3, -1000).note(30, 8).note(31, 8).end();
             s.tracks[6]
                 .voice(voiceOne)
                 .lfoDelay(3)
                 .volumeLfo(0, 3, 1000)
                 .note(30, 8)
                 .note(31, 8)
                 .end();
             s.tracks[7].voice(voiceOne).volumeLfo(0, 1, 1000).note(30, 8).note(31, 8).end();
         }},
        {"VolumeLfoBeyondTheRange",
         [](Song& s) {
             s.tracks[0].voice(voiceOne).volume(0xF5).volumeLfo(0, 9, -1425).note(30, 12).end();
             s.tracks[1].voice(voiceTwo).volume(0xE8).volumeLfo(2, 4, 2000).note(30, 12).end();
             s.tracks[2].voice(voiceOne).volume(0xF0).volumeLfo(1, 2, 4000).note(30, 12).end();
         }},
        {"VolumeLfoSetUpDuringTheDelay",
         [](Song& s) {
             s.tracks[0]
                 .voice(voiceTwo)
                 .lfoDelay(3)
                 .keyOnDelay(2)
                 .note(30, 3)
                 .volumeLfo(2, 7, -939)
                 .note(85, 9)
                 .end();
             s.tracks[1]
                 .voice(voiceTwo)
                 .lfoDelay(3)
                 .legato()
                 .note(30, 2)
                 .volumeLfo(0, 2, -158)
                 .keyOnDelay(2)
                 .legato()
                 .note(10, 6)
                 .end();
             s.tracks[2]
                 .voice(voiceOne)
                 .lfoDelay(4)
                 .note(30, 2)
                 .volumeLfo(1, 3, 1200)
                 .note(31, 8)
                 .end();
         }},
        {"AllChannels",
         [](Song& s) {
             for (int ch = 0; ch < 8; ++ch)
                 s.tracks[static_cast<std::size_t>(ch)]
                     .voice(ch % 2 ? voiceOne : voiceTwo)
                     .pan(ch % 4)
                     .volume(ch + 4)
                     .note(20 + ch * 5, 3 + ch)
                     .rest(2)
                     .note(21 + ch, 2)
                     .end();
         }},
    };
    return all;
}

#ifdef TONRIG_HAVE_MDX_REFERENCE
Song baseSong() {
    Song s;
    s.voices.push_back(mdxtest::testVoice(voiceOne));
    s.voices.push_back(mdxtest::testVoice(voiceTwo, allCarriers));
    return s;
}

std::vector<std::vector<Ym2151Write>> runOurs(const std::vector<std::uint8_t>& bytes, int ticks,
                                              std::vector<Ym2151Write>& start) {
    std::string error;
    auto song = mdx::MdxFile::parse(bytes, error);
    EXPECT_TRUE(song) << error;
    std::vector<std::vector<Ym2151Write>> out;
    if (!song) return out;
    mdx::MdxDriver driver(*song);
    driver.start(start);
    while (static_cast<int>(out.size()) < ticks && !driver.ended()) {
        out.emplace_back();
        driver.tick(out.back());
    }
    return out;
}

// How many writes two ticks have in common in the same order (the longest
// common subsequence): one write more or less counts once, not for every
// write after it.
std::size_t commonInOrder(const std::vector<Ym2151Write>& a, const std::vector<Ym2151Write>& b) {
    std::vector<std::size_t> row(b.size() + 1, 0);
    for (const Ym2151Write& x : a) {
        std::size_t diagonal = 0;
        for (std::size_t j = 0; j < b.size(); ++j) {
            std::size_t above = row[j + 1];
            row[j + 1] = x == b[j] ? diagonal + 1 : std::max(row[j + 1], row[j]);
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string show(const std::vector<Ym2151Write>& writes) {
    std::string s;
    char buffer[16];
    for (const Ym2151Write& w : writes) {
        std::snprintf(buffer, sizeof buffer, " %02X=%02X", w.address, w.data);
        s += buffer;
    }
    return s;
}

#endif

class MdxReference : public testing::TestWithParam<Case> {};

TEST_P(MdxReference, WritesEqualTheReferenceTickForTick) {
#ifndef TONRIG_HAVE_MDX_REFERENCE
    GTEST_SKIP()
        << "../shared/reference/portable-mdx not found: the reference driver comparison skips";
#else
    Song song = baseSong();
    GetParam().make(song);
    std::vector<std::uint8_t> bytes = song.build();
    mdxtest::ReferenceRecord reference = mdxtest::recordReference(bytes, {}, maxTicks);
    std::vector<Ym2151Write> ourStart;
    auto ours = runOurs(bytes, maxTicks, ourStart);
    EXPECT_EQ(show(ourStart), show(reference.start)) << "play start";
    std::size_t total = 0;
    std::size_t equal = 0;
    int reported = 0;
    for (std::size_t t = 0; t < std::max(ours.size(), reference.ticks.size()); ++t) {
        const auto& a = t < ours.size() ? ours[t] : std::vector<Ym2151Write>{};
        const auto& b =
            t < reference.ticks.size() ? reference.ticks[t] : std::vector<Ym2151Write>{};
        total += std::max(a.size(), b.size());
        equal += commonInOrder(a, b);
        if (std::getenv("MDX_SHOW_ALL"))
            std::printf("%3zu%s\n  ours:%s\n  ref: %s\n", t, a == b ? "" : " *", show(a).c_str(),
                        show(b).c_str());
        if (a != b && GetParam().floor >= 1.0 && reported++ < 3)
            ADD_FAILURE() << "tick " << t << "\n ours:     " << show(a)
                          << "\n reference:" << show(b);
    }
    double share = total ? static_cast<double>(equal) / static_cast<double>(total) : 1.0;
    EXPECT_EQ(ours.size(), reference.ticks.size()) << "song length in ticks";
    EXPECT_GE(share, GetParam().floor);
    if (share < 1.0 && std::getenv("MDX_SHOW_PROGRAMS")) {
        for (std::size_t t = 0; t < song.tracks.size(); ++t) {
            std::printf("track %zu:", t);
            for (std::uint8_t b : song.tracks[t].code)
                std::printf(" %02X", b);
            std::printf("\n");
        }
    }
    std::printf(
        "[ share ] %s: %zu of %zu writes equal in the same tick (%.1f%%) over %zu ticks%s\n",
        GetParam().name, equal, total, 100.0 * share, reference.ticks.size(),
        reference.ended ? ", song ended" : "");
#endif
}

// Songs of random commands on every FM track: combinations no song made for
// one command shows (volume changed during a tie, detune during portamento,
// LFOs across rests, key-on delays with legato...); with volumeLfo, the
// volume LFO among them.
void randomTrack(Track& t, std::mt19937& random, int track, bool volumeLfo = false) {
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    t.voice(pick(1, 2));
    for (int i = 0; i < 40; ++i) {
        switch (pick(0, 20)) {
        case 0: t.volume(pick(0, 15)); break;
        case 1: t.volume(0x80 + pick(0, 0x7F)); break;
        case 2: t.volumeUp(); break;
        case 3: t.volumeDown(); break;
        case 4: t.gate(pick(0, 1) ? pick(1, 8) : 0x100 - pick(1, 6)); break;
        case 5: t.legato(); break;
        case 6: t.detune(pick(-300, 300)); break;
        case 7: t.portamento(pick(-900, 900)); break;
        case 8: t.keyOnDelay(pick(0, 3)); break;
        case 9: t.pitchLfo(pick(0, 2), pick(1, 9), pick(-1500, 1500)); break;
        case 10: t.lfoSwitch(0xEC, pick(0x80, 0x81)); break;
        case 11: t.lfoDelay(pick(0, 4)); break;
        case 12: t.pan(pick(0, 3)); break;
        case 13: t.voice(pick(1, 2)); break;
        case 14: t.rest(pick(1, 6)); break;
        case 15:
            if (track == 7) t.noise(pick(0, 1) ? 0x80 | pick(0, 0x1F) : 0);
            break;
        case 16:
            t.chipLfo(pick(0, 0x43), pick(0, 255), 0x80 | pick(0, 0x7F), pick(0, 0x7F),
                      pick(0, 0x73));
            break;
        case 17:
            if (volumeLfo) {
                t.volumeLfo(pick(0, 2), pick(1, 9), pick(-1500, 1500));
                break;
            }
            t.note(pick(0, 95), pick(1, 12));
            break;
        case 18:
            if (volumeLfo) {
                t.lfoSwitch(0xEB, pick(0x80, 0x81));
                break;
            }
            t.note(pick(0, 95), pick(1, 12));
            break;
        default: t.note(pick(0, 95), pick(1, 12)); break;
        }
    }
    t.note(pick(0, 95), pick(1, 12)).end();
}

// A song of random commands on every FM track.
void randomSong(Song& s, unsigned seed, bool volumeLfo = false) {
    std::mt19937 random(seed);
    for (int track = 0; track < 8; ++track)
        randomTrack(s.tracks[static_cast<std::size_t>(track)], random, track, volumeLfo);
}

std::vector<Case> soloCases() {
    static const char* const names[] = {"Solo1", "Solo2", "Solo3", "Solo4",  "Solo5",  "Solo6",
                                        "Solo7", "Solo8", "Solo9", "Solo10", "Solo11", "Solo12"};
    std::vector<Case> all;
    unsigned seed = 100;
    for (const char* name : names) {
        all.push_back({name, [seed](Song& s) {
                           std::mt19937 random(seed);
                           int track = static_cast<int>(seed % 8);
                           randomTrack(s.tracks[static_cast<std::size_t>(track)], random, track);
                       }});
        ++seed;
    }
    return all;
}

std::vector<Case> randomCases() {
    static const char* const names[] = {"Random1", "Random2",  "Random3",  "Random4",
                                        "Random5", "Random6",  "Random7",  "Random8",
                                        "Random9", "Random10", "Random11", "Random12"};
    std::vector<Case> all;
    unsigned seed = 1;
    for (const char* name : names) {
        all.push_back({name, [seed](Song& s) { randomSong(s, seed); }});
        ++seed;
    }
    // Two seeds found by a wider search: 1041 (a "no LFO delay" while a
    // key-on waits) and 1035 (a "no LFO delay" ending a delay begun at a
    // delayed key-on), both now equal.
    all.push_back({"Random1041", [](Song& s) { randomSong(s, 1041); }});
    all.push_back({"Random1035", [](Song& s) { randomSong(s, 1035); }});
    // With the volume LFO.
    static const char* const volumeNames[] = {"RandomVolume1", "RandomVolume2", "RandomVolume3",
                                              "RandomVolume4", "RandomVolume5", "RandomVolume6"};
    seed = 1000;
    for (const char* name : volumeNames) {
        all.push_back({name, [seed](Song& s) { randomSong(s, seed, true); }});
        ++seed;
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(SoloSongs, MdxReference, testing::ValuesIn(soloCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

INSTANTIATE_TEST_SUITE_P(RandomSongs, MdxReference, testing::ValuesIn(randomCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

INSTANTIATE_TEST_SUITE_P(Songs, MdxReference, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

namespace {

// How the reference ends an ADPCM sample: its sound output, with a sample
// (0.256 s at 15.6 kHz) longer than a short note and shorter than a long
// one. The sample stops at the short note's key-off, the long note's sample
// plays to its end (mdx::AdpcmNote::stop).
TEST(MdxReferenceAdpcm, ASampleEndsAtItsNotesKeyOff) {
#ifndef TONRIG_HAVE_MDX_REFERENCE
    GTEST_SKIP() << "../shared/reference/portable-mdx not found: the ADPCM measurement skips";
#else
    constexpr std::uint32_t table = 96 * 8;
    constexpr std::uint32_t length = 2000;
    std::vector<std::uint8_t> bank(table + length, 0);
    for (int i = 0; i < 4; ++i) {
        bank[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(table >> (24 - 8 * i));
        bank[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    for (std::uint32_t i = 0; i < length; ++i)
        bank[table + i] = i % 2 ? 0x08 : 0x71;
    constexpr int window = 10; // ms
    constexpr double silent = 50;
    constexpr double tickMs = 1024.0 * (256 - tempo) / 4e6 * 1000;
    auto lastSounding = [&](int clocks) {
        Song s;
        s.pdxName = "KIT";
        s.tracks[8].tempo(tempo).note(0, clocks).rest(60).end();
        std::vector<double> levels = mdxtest::referenceLevels(s.build(), bank, window, 60);
        int last = -1;
        for (std::size_t w = 0; w < levels.size(); ++w)
            if (levels[w] > silent) last = static_cast<int>(w);
        return (last + 1) * window;
    };
    // Four ticks (57 ms): silent within two ticks after the key-off.
    const int shortEnd = lastSounding(4);
    EXPECT_GT(shortEnd, 4 * tickMs);
    EXPECT_LT(shortEnd, 6 * tickMs);
    // Thirty ticks (430 ms): the sample's own 256 ms.
    const int longEnd = lastSounding(30);
    EXPECT_GT(longEnd, 256);
    EXPECT_LT(longEnd, 256 + 2 * tickMs);
    std::printf("[ adpcm ] sound ends at %d ms after a 4-tick note, %d ms after a 30-tick one\n",
                shortEnd, longEnd);
#endif
}

// The ADPCM voices' level against the FM in the reference's output (its
// second 100 ms, both notes sounding steadily).
TEST(MdxReferenceAdpcm, LevelAgainstTheFm) {
#ifndef TONRIG_HAVE_MDX_REFERENCE
    GTEST_SKIP() << "../shared/reference/portable-mdx not found: the ADPCM measurement skips";
#else
    constexpr int window = 100; // ms
    const double fm = mdxtest::referenceLevels(mdxtest::fmSineSong().build(), {}, window, 2)[1];
    const double adpcm = mdxtest::referenceLevels(mdxtest::adpcmSquareSong().build(),
                                                  mdxtest::levelBank(), window, 2)[1];
    std::printf("[ adpcm ] FM sine RMS %.0f, ADPCM square RMS %.0f: %.2f\n", fm, adpcm, adpcm / fm);
    EXPECT_NEAR(adpcm / fm, mdx::measured::adpcmToFmLevel, 0.1);
#endif
}

// The PCM8 mixer's volumes (16-track songs, the PCM8 command given): the
// level of each volume against volume 8's, with a sample small enough not to
// clip at volume 15.
TEST(MdxReferenceAdpcm, Pcm8Volumes) {
#ifndef TONRIG_HAVE_MDX_REFERENCE
    GTEST_SKIP() << "../shared/reference/portable-mdx not found: the ADPCM measurement skips";
#else
    mdxtest::Bytes bank = mdxtest::levelBank();
    constexpr std::size_t table = 96 * 8;
    constexpr std::size_t bytesPerHalf = 8;
    for (std::size_t i = table; i < bank.size(); ++i)
        bank[i] = ((i / bytesPerHalf) % 2) ? 0x99 : 0x11;
    constexpr std::uint8_t pcm8Command = 0xE8;
    auto level = [&](unsigned volume) {
        Song s;
        s.pdxName = mdxtest::levelBankName;
        s.tracks.resize(16);
        s.tracks[0].raw({pcm8Command}).rest(1).end();
        s.tracks[9]
            .tempo(tempo)
            .raw({pcm8Command})
            .volume(static_cast<int>(volume))
            .note(0, 100)
            .end();
        return mdxtest::referenceLevels(s.build(), bank, 100, 2, true)[1];
    };
    const double reference = level(8);
    for (unsigned volume :
         {0u, 3u, 8u, 12u, 15u, 0x80u, 0x85u, 0x93u, 0xA9u, 0xAAu, 0xABu, 0xC0u}) {
        const double expected = mdx::measured::pcm8Gain(volume) / 16.0;
        EXPECT_NEAR(level(volume) / reference, expected, 0.03 * expected + 0.01) << volume;
    }
#endif
}

// The fade-out on the samples in the reference's output, with and without
// PCM8: the fade at its fastest (a step every two ticks) from the first
// tick, and a sample started n ticks later, under n / 2 steps of it, at
// several volumes; and a sample started before the fade, playing on under
// it.
TEST(MdxReferenceAdpcm, TheFadeOnSamples) {
#ifndef TONRIG_HAVE_MDX_REFERENCE
    GTEST_SKIP() << "../shared/reference/portable-mdx not found: the ADPCM measurement skips";
#else
    // A sample small enough not to clip at the loudest gain.
    mdxtest::Bytes bank = mdxtest::levelBank();
    constexpr std::size_t table = 96 * 8;
    constexpr std::size_t bytesPerHalf = 8;
    for (std::size_t i = table; i < bank.size(); ++i)
        bank[i] = ((i / bytesPerHalf) % 2) ? 0x99 : 0x11;
    constexpr std::uint8_t pcm8Command = 0xE8;
    constexpr int fastestFade = 0;
    constexpr int ticksPerStep = 2;
    constexpr int window = 50; // ms
    constexpr double tickMs = 1024.0 * (256 - tempo) / 4e6 * 1000;
    // The sample's track, the fade on track 0 (silent).
    auto song = [&](bool pcm8, unsigned volume) {
        Song s;
        s.pdxName = mdxtest::levelBankName;
        if (pcm8) s.tracks.resize(16);
        Track& fm = s.tracks[0].tempo(tempo);
        if (pcm8) fm.raw({pcm8Command});
        fm.fade(fastestFade).rest(250).end();
        Track& adpcm = s.tracks[pcm8 ? 9 : 8];
        if (pcm8) adpcm.raw({pcm8Command});
        adpcm.volume(static_cast<int>(volume));
        return s;
    };
    // The level of a sample started after `ticks`, in its fourth tick.
    auto startedAfter = [&](bool pcm8, unsigned volume, int ticks) {
        Song s = song(pcm8, volume);
        s.tracks[pcm8 ? 9 : 8].rest(ticks).note(0, 100).end();
        const int windows = static_cast<int>((ticks + 8) * tickMs / window) + 1;
        return mdxtest::referenceLevels(s.build(), bank, window, windows, pcm8).back();
    };
    const double full = startedAfter(false, 8, 1);
    ASSERT_GT(full, 100);
    for (unsigned volume : {8u, 15u, 0x80u, 0x94u}) {
        for (int ticks = 1; ticks < 96; ticks += 2) {
            const unsigned level = static_cast<unsigned>(ticks / ticksPerStep);
            // With PCM8: the volume's attenuation and the fade's level
            // together, as the sample starts.
            const double expected = full * mdx::measured::pcm8Gain(volume, level) / 16.0;
            EXPECT_NEAR(startedAfter(true, volume, ticks), expected, 0.03 * expected + 1)
                << "volume " << volume << ", fade level " << level;
            // Without: full up to the limit, then not started.
            if (level > mdx::measured::adpcmFadeLimit + 2) continue;
            const double whole = level <= mdx::measured::adpcmFadeLimit ? full : 0.0;
            EXPECT_NEAR(startedAfter(false, volume, ticks), whole, 0.01 * whole + 1)
                << "volume " << volume << ", fade level " << level;
        }
    }
    // A sample started before the fade plays on at its level, past the
    // fade's level that would silence a new one.
    for (bool pcm8 : {false, true}) {
        Song s = song(pcm8, 8);
        s.tracks[pcm8 ? 9 : 8].note(0, 200).end();
        // Until just before the fade's end (its 63rd step) ends the song.
        const int windows = static_cast<int>(120 * tickMs / window);
        const std::vector<double> levels =
            mdxtest::referenceLevels(s.build(), bank, window, windows, pcm8);
        for (std::size_t w = 1; w < levels.size(); ++w)
            EXPECT_NEAR(levels[w], full, 0.01 * full) << "pcm8 " << pcm8 << ", window " << w;
    }
#endif
}

} // namespace
