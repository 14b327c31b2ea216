// OPN FM on a YM2151 from the chips' documented behaviour: key codes of
// frequencies, envelope rates for the same times, the operator order, the
// key-on byte, the F-number latch, the pan and LFO, the SSG part, and what
// is named as lost.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "convert/KeyCode.h"
#include "convert/OpnEnvelopeRates.h"
#include "convert/OpnToYm2151.h"

namespace convert {
namespace {

using Opn = synth::OpnRegisters;
using Opm = synth::Ym2151Registers;

TEST(KeyCode, FrequenciesBecomeKeyCodesAtTheClock) {
    const KeyCode a4 = keyCodeOf(440.0, 3579545);
    EXPECT_EQ(a4.code, 0x4A);
    EXPECT_EQ(a4.fraction, 0);
    // C5 is note 14 of octave 4 (the octave runs C# to C); C#5 opens octave 5.
    EXPECT_EQ(keyCodeOf(440.0 * std::exp2(3 / 12.0), 3579545).code, 0x4E);
    EXPECT_EQ(keyCodeOf(440.0 * std::exp2(4 / 12.0), 3579545).code, 0x50);
    // A quarter semitone up: 16 of 64ths.
    EXPECT_EQ(keyCodeOf(440.0 * std::exp2(0.25 / 12), 3579545).fraction,
              Opm::keyFractionField::make(16));
    // At 4 MHz the same key code sounds 11.7 % higher, so 440 Hz is lower.
    EXPECT_LT(keyCodeOf(440.0, 4000000).code, 0x4A);
    for (double hz = 30; hz < 3500; hz *= 1.037) {
        const double played = frequencyOf(keyCodeOf(hz, 4000000), 4000000);
        EXPECT_NEAR(12 * std::log2(played / hz), 0, 1 / 128.0 + 1e-9) << hz << " Hz";
    }
    // Beyond the range: the lowest and the highest note.
    EXPECT_EQ(keyCodeOf(5.0, 4000000).code, 0x00);
    EXPECT_EQ(keyCodeOf(20000.0, 4000000).code, 0x7E);
    EXPECT_EQ(keyCodeOf(20000.0, 4000000).fraction, Opm::keyFractionField::make(63));
}

TEST(OpnEnvelopeRates, SameClockKeepsTheRatesAndSlowerClocksSlowThem) {
    const EnvelopeRates opn{1, 10, 7, 3, 6};
    EXPECT_EQ(ym2151Rates(opn, 17, 17, 1.0), opn);
    // The OPN's envelope at half speed: each rate one octave slower, four
    // effective steps: AR, DR, SR down by 2, RR by 1.
    const EnvelopeRates half = ym2151Rates(opn, 17, 17, 0.5);
    EXPECT_EQ(half, (EnvelopeRates{1, 8, 5, 1, 5}));
    // Rate 0 holds, an instant attack stays instant.
    const EnvelopeRates held = ym2151Rates({0, 31, 0, 0, 15}, 20, 20, 0.8);
    EXPECT_EQ(held.attack, 31u);
    EXPECT_EQ(held.decay, 0u);
    EXPECT_EQ(held.sustain, 0u);
    // Another key code on the YM2151: the key scaling makes up for it.
    const EnvelopeRates moved = ym2151Rates({3, 12, 0, 0, 0}, 16, 20, 1.0);
    EXPECT_EQ(effectiveRate(2 * moved.attack, moved.keyScale, 20), effectiveRate(24, 3, 16));
    EXPECT_DOUBLE_EQ(envelopeSpeedOctaves(8), 2.0);
    EXPECT_DOUBLE_EQ(envelopeSpeedOctaves(10), 2.0 + std::log2(1.5));
}

// The converter with the YM2151 and SSG registers it last wrote.
struct Converted {
    explicit Converted(OpnModel model, std::uint32_t clock = 7670453,
                       std::uint32_t ssgClock = 2000000)
        : convert(
              {model, clock}, 4000000,
              [this](std::uint16_t address, std::uint8_t data) {
                  opm[address] = data;
                  ++opmWrites;
              },
              ssgClock, [this](std::uint16_t address, std::uint8_t data) { ssg[address] = data; }) {
    }
    std::map<unsigned, unsigned> opm, ssg;
    int opmWrites = 0;
    OpnToYm2151 convert;
};

TEST(OpnToYm2151, OperatorsAndKeysGoToTheirYm2151Slots) {
    Converted c(OpnModel::ym2612);
    c.convert.write(Opn::slotRegister(Opn::totalLevelBase, 0, Opn::s1), 1);
    c.convert.write(Opn::slotRegister(Opn::totalLevelBase, 0, Opn::s3), 3);
    c.convert.write(Opn::slotRegister(Opn::totalLevelBase, 0, Opn::s2), 2);
    c.convert.write(Opn::slotRegister(Opn::totalLevelBase, 0, Opn::s4), 4);
    c.convert.write(Opn::slotRegister(Opn::totalLevelBase, 4, Opn::s1), 5); // 0x141
    EXPECT_EQ(c.opm[0x60], 1u);                                             // M1
    EXPECT_EQ(c.opm[0x68], 3u);                                             // M2
    EXPECT_EQ(c.opm[0x70], 2u);                                             // C1
    EXPECT_EQ(c.opm[0x78], 4u);                                             // C2
    EXPECT_EQ(c.opm[0x64], 5u) << "the second port's first channel is channel 4";
    c.convert.write(Opn::slotRegister(Opn::detuneMultipleBase, 1, Opn::s2), 0x75);
    EXPECT_EQ(c.opm[0x51], 0x75u) << "DT 7, MUL 5 on C1 of channel 1";
    c.convert.write(Opn::channelRegister(Opn::feedbackAlgorithmBase, 2), 0x2C); // FB 5, ALG 4
    EXPECT_EQ(c.opm[0x22], 0xECu) << "both outputs on";

    // Key-on: S1, S2, S3, S4 in bits 4-7 are M1, C1, M2, C2 in bits 3-6.
    c.convert.write(Opn::keyOn, 0xF1);
    EXPECT_EQ(c.opm[Opm::keyOn], 0x79u);
    c.convert.write(Opn::keyOn, 0x20); // S2 of channel 0
    EXPECT_EQ(c.opm[Opm::keyOn], Opm::keyOnByte(0, Opm::keyOnBitC1));
    c.convert.write(Opn::keyOn, 0x96); // S1 + S4 of code 6: channel 5
    EXPECT_EQ(c.opm[Opm::keyOn], Opm::keyOnByte(5, Opm::keyOnBitM1 | Opm::keyOnBitC2));
    const int before = c.opmWrites;
    c.convert.write(Opn::keyOn, 0x96);
    EXPECT_EQ(c.opmWrites, before + 1) << "a key-on goes out even when repeated";
    c.convert.write(Opn::keyOn, 0xF3); // code 3 names no channel
    EXPECT_EQ(c.opmWrites, before + 1);

    // The DAC silences channel 6 (measured on the reference) until it goes off.
    c.convert.write(Opn::keyOn, 0xF6);
    c.convert.write(Opn::dacEnable, Opn::dacEnableField::make(1));
    EXPECT_EQ(c.opm[Opm::keyOn], Opm::keyOnByte(5, 0));
    c.convert.write(Opn::keyOn, 0x36);
    EXPECT_EQ(c.opm[Opm::keyOn], Opm::keyOnByte(5, 0)) << "no key-on while the DAC plays";
    c.convert.write(Opn::dacEnable, 0);
    EXPECT_EQ(c.opm[Opm::keyOn], Opm::keyOnByte(5, Opm::keyOnBitM1 | Opm::keyOnBitC1));

    Converted opn(OpnModel::ym2203, 3993600);
    opn.convert.write(Opn::keyOn, 0xF4);
    EXPECT_EQ(opn.opm.count(Opm::keyOn), 0u) << "the YM2203 has three channels";
    opn.convert.write(0x141, 9);
    EXPECT_EQ(opn.opm.count(0x64), 0u);

    // The YM2608 keys its channels 4-6 once 0x29 bit 7 sets six channels
    // (measured on the reference: silent before).
    Converted opna(OpnModel::ym2608, 7987200);
    opna.convert.write(Opn::keyOn, 0xF4);
    EXPECT_EQ(opna.opm.count(Opm::keyOn), 0u);
    opna.convert.write(Opn::irqEnable, Opn::sixChannelsField::make(1));
    opna.convert.write(Opn::keyOn, 0xF4);
    EXPECT_EQ(opna.opm[Opm::keyOn], Opm::keyOnByte(3, Opm::allSlots));
}

TEST(OpnToYm2151, FNumbersTakeThePortsLatchWhenTheLowByteComes) {
    Converted c(OpnModel::ym2612);
    const double rate = OpnToYm2151::sampleRate({OpnModel::ym2612, 7670453});
    c.convert.write(Opn::channelRegister(Opn::blockHighBase, 0), 0x22); // block 4, high 2
    EXPECT_EQ(c.opm.count(Opm::keyCodeRegister(0)), 0u) << "the high byte waits";
    c.convert.write(Opn::channelRegister(Opn::fNumberLowBase, 1), 0x8D); // F 653 on channel 1
    const KeyCode expected = keyCodeOf(opnNoteHz(653, 4, rate), 4000000);
    EXPECT_EQ(c.opm[Opm::keyCodeRegister(1)], expected.code);
    EXPECT_EQ(c.opm[Opm::keyFractionRegister(1)], expected.fraction);
    EXPECT_EQ(c.opm.count(Opm::keyCodeRegister(0)), 0u);
    // The second port's latch is its own.
    c.convert.write(0x100 | Opn::channelRegister(Opn::blockHighBase, 0), 0x1A);
    c.convert.write(Opn::channelRegister(Opn::fNumberLowBase, 2), 0x8D);
    EXPECT_EQ(c.opm[Opm::keyCodeRegister(2)], expected.code);
}

TEST(OpnToYm2151, PanSensitivitiesAndLfo) {
    Converted c(OpnModel::ym2612);
    c.convert.write(Opn::channelRegister(Opn::feedbackAlgorithmBase, 3), 0x07);
    c.convert.write(Opn::channelRegister(Opn::panSensitivityBase, 3), 0xB7); // L, AMS 3, PMS 7
    EXPECT_EQ(c.opm[Opm::channelControl(3)], 0x47u) << "left only";
    EXPECT_EQ(c.opm[Opm::channelRegister(Opm::sensitivityBase, 3)], 0x52u) << "PMS 5, AMS 2";
    c.convert.write(Opn::lfo, 0x08 | 3); // a period of 67 x 128 samples
    const unsigned lfrq = c.opm[Opm::lfoFrequency];
    const double hz = 62500.0 * (16 + (lfrq & 15)) * (1u << (lfrq >> 4)) / (1 << 30);
    EXPECT_NEAR(hz / (7670453 / 144.0 / (67 * 128)), 1, 0.03);
    EXPECT_EQ(c.opm[Opm::lfoWaveform], 2u) << "a triangle";
    EXPECT_EQ(c.opm[Opm::lfoDepth], 0x80u | 91) << "the PM depth, written after the AM depth";
    c.convert.write(Opn::lfo, 0x00);
    EXPECT_EQ(c.opm[Opm::lfoDepth], 0x80u) << "the LFO off: no depth";
}

TEST(OpnToYm2151, TheSsgPartKeepsItsPitchOnAnotherClock) {
    // A YM2203 at 4 MHz runs its SSG at 2 MHz; an SSG at 1 MHz halves the periods.
    Converted c(OpnModel::ym2203, 4000000, 1000000);
    c.convert.write(0x00, 0x1C);
    c.convert.write(0x01, 0x01); // 284
    c.convert.write(0x06, 31);
    c.convert.write(0x0C, 0x10); // envelope 0x1000
    c.convert.write(0x07, 0x38);
    EXPECT_EQ(c.ssg[0x00] | c.ssg[0x01] << 8, 142u);
    EXPECT_EQ(c.ssg[0x06], 16u);
    EXPECT_EQ(c.ssg[0x0B] | c.ssg[0x0C] << 8, 0x800u);
    EXPECT_EQ(c.ssg[0x07], 0x38u);
    EXPECT_TRUE(c.opm.empty() || c.opm.count(0x60) == 0) << "nothing of it reaches the YM2151";

    // The prescaler at 2 (0x2F) triples the FM's sample rate and quadruples
    // the SSG part's clock (2 MHz to 8 MHz): the note goes up by a factor of
    // 3, the SSG periods are sent again for an eighth of the clock (284 / 8).
    c.convert.write(Opn::channelRegister(Opn::blockHighBase, 0), 0x22);
    c.convert.write(Opn::channelRegister(Opn::fNumberLowBase, 0), 0x8D);
    const double before =
        frequencyOf({static_cast<std::uint8_t>(c.opm[Opm::keyCodeRegister(0)]),
                     static_cast<std::uint8_t>(c.opm[Opm::keyFractionRegister(0)])},
                    4000000);
    c.convert.write(Opn::prescalerLast, 0);
    const double after =
        frequencyOf({static_cast<std::uint8_t>(c.opm[Opm::keyCodeRegister(0)]),
                     static_cast<std::uint8_t>(c.opm[Opm::keyFractionRegister(0)])},
                    4000000);
    EXPECT_NEAR(after / before, 3, 0.01);
    EXPECT_EQ(c.ssg[0x00] | c.ssg[0x01] << 8, 36u);

    Converted same(OpnModel::ym2203, 4000000, 2000000);
    same.convert.write(0x00, 0x1C);
    EXPECT_EQ(same.ssg[0x00], 0x1Cu) << "at the same clock the bytes pass as they are";
}

TEST(OpnToYm2151, NamesWhatItDrops) {
    Converted c(OpnModel::ym2612);
    c.convert.write(Opn::slotRegister(Opn::ssgEnvelopeBase, 0, Opn::s1), 0x00);
    EXPECT_EQ(c.convert.losses(), "") << "SSG-EG off loses nothing";
    c.convert.write(Opn::dacEnable, 0x80);
    c.convert.write(Opn::slotRegister(Opn::ssgEnvelopeBase, 4, Opn::s4), 0x08);
    c.convert.write(Opn::dacEnable, 0x80);
    c.convert.write(Opn::mode, 0x40);
    EXPECT_EQ(c.convert.losses(), "DAC dropped; SSG-EG dropped; channel 3 special mode dropped");

    EXPECT_EQ(OpnToYm2151::lossOf(OpnModel::ym2608, Opn::rhythmKeys, 0x01), "rhythm dropped");
    EXPECT_EQ(OpnToYm2151::lossOf(OpnModel::ym2608, Opn::rhythmKeys, 0x81), "")
        << "a dump keys nothing";
    EXPECT_EQ(OpnToYm2151::lossOf(OpnModel::ym2608, Opn::adpcmControl, 0xA0), "ADPCM dropped");
    EXPECT_EQ(OpnToYm2151::lossOf(OpnModel::ym2203, Opn::dacEnable, 0x80), "");
}

} // namespace
} // namespace convert
