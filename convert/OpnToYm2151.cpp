// OPN FM on a YM2151; see OpnToYm2151.h.
#include "convert/OpnToYm2151.h"

#include <algorithm>
#include <cmath>

#include "convert/KeyCode.h"
#include "convert/OpnEnvelopeRates.h"

namespace convert {

namespace {

using Opn = synth::OpnRegisters;
using Opm = synth::Ym2151Registers;

// The YM2203's input clocks per sample of the FM part and per PSG clock of
// the SSG part, by prescaler (0x2D, the power-on one; 0x2E; 0x2F), as
// measured on the reference; the YM2608 takes twice as many, the YM2612
// always the YM2608's power-on 144.
constexpr double ym2203ClocksPerSample[3] = {72, 36, 24};
constexpr double ym2203ClocksPerSsgClock[3] = {2, 1, 0.5};
constexpr double ym2608ClocksPerSample = 144;
constexpr unsigned prescalerCount = 3;
// YM2151 input clocks per sample.
constexpr double ym2151ClocksPerSample = 64;

// The OPN's LFO periods by rate, in 128 samples (measured on the reference).
constexpr double opnLfoPeriods[8] = {108, 77, 71, 67, 62, 44, 8, 5};
constexpr double opnLfoPeriodUnit = 128;
// The YM2151's LFO steps its 256-step wave (16 + LFRQ low nibble) x
// 2^(high nibble) times per 2^22 samples.
constexpr double ym2151LfoDivisor = 1 << 30;

// Depths under which the YM2151's sensitivities come nearest to the OPN's
// (measured on both: the OPN's PM swings 6, 14, 19, 27, 40, 80 and 160
// cents for PMS 1-7, the YM2151's 9.6 x 2^(PMS - 1) cents up to PMS 5, then
// 763 and 1525, at PMD 127; the OPN's AM 1.3, 5.9 and 12 dB for AMS 1-3,
// the YM2151's 23.8 x 2^(AMS - 1) dB at AMD 127). Both as triangles. The
// YM2151's fastest LFO (LFRQ 255, 59 Hz at 4 MHz) is below the OPN's rate 7
// (83 Hz at 7.67 MHz), which plays at it.
constexpr unsigned pmDepth = 91;
constexpr unsigned amDepth = 32;
constexpr unsigned triangleWave = 2;

// The YM2612's channel 6, which the DAC takes over.
constexpr unsigned dacChannel = 5;
constexpr unsigned pmSensitivityOf[8] = {0, 1, 2, 2, 3, 3, 4, 5};
constexpr unsigned amSensitivityOf[4] = {0, 0, 1, 2};

constexpr std::uint8_t bothOutputs =
    Opn::leftField::make(1) | Opn::rightField::make(1); // the OPN's power-on pan

std::uint8_t byte(unsigned value) {
    return static_cast<std::uint8_t>(value);
}

} // namespace

double OpnToYm2151::sampleRate(const OpnSetup& setup, unsigned prescaler) {
    switch (setup.model) {
    case OpnModel::ym2203: return setup.clock / ym2203ClocksPerSample[prescaler];
    case OpnModel::ym2608: return setup.clock / (2 * ym2203ClocksPerSample[prescaler]);
    case OpnModel::ym2612: break;
    }
    return setup.clock / ym2608ClocksPerSample;
}

double OpnToYm2151::ssgClock(const OpnSetup& setup, unsigned prescaler) {
    switch (setup.model) {
    case OpnModel::ym2203: return setup.clock / ym2203ClocksPerSsgClock[prescaler];
    case OpnModel::ym2608: return setup.clock / (2 * ym2203ClocksPerSsgClock[prescaler]);
    case OpnModel::ym2612: break;
    }
    return 0;
}

unsigned OpnToYm2151::channelCount(OpnModel model) {
    return model == OpnModel::ym2203 ? Opn::channelsPerPort : Opn::maximumChannelCount;
}

std::string_view OpnToYm2151::lossOf(OpnModel model, std::uint16_t address, std::uint8_t data) {
    if (Opn::isSlotRegister(address, Opn::ssgEnvelopeBase) && Opn::ssgEnvelopeField::of(data) != 0)
        return ssgEnvelopeLoss;
    if (address == Opn::mode && Opn::channel3ModeField::of(data) != 0) return channel3ModeLoss;
    if (model == OpnModel::ym2612 && address == Opn::dacEnable && Opn::dacEnableField::of(data))
        return dacLoss;
    if (model == OpnModel::ym2608) {
        if (address == Opn::rhythmKeys && !Opn::rhythmDumpField::of(data) &&
            (data & ~Opn::rhythmDumpField::mask) != 0)
            return rhythmLoss;
        if (address == Opn::adpcmControl && (data & 0x80) != 0) return adpcmLoss;
    }
    return {};
}

OpnToYm2151::OpnToYm2151(const OpnSetup& setup, std::uint32_t ym2151Clock, RegisterWriter ym2151,
                         std::uint32_t ssgClockHz, RegisterWriter ssg)
    : setup_(setup), ym2151Clock_(ym2151Clock), ym2151_(std::move(ym2151)),
      ssgWriter_(ssg ? std::move(ssg) : RegisterWriter([](std::uint16_t, std::uint8_t) {})),
      ssg_(ssgClock(setup), ssgClockHz,
           [this](std::uint16_t address, std::uint8_t data) { ssgWriter_(address, data); }) {
    sent_.fill(-1);
    for (unsigned ch = 0; ch < Opn::maximumChannelCount; ++ch)
        opn_.write(Opn::channelRegister(Opn::panSensitivityBase, ch), bothOutputs);
}

std::string OpnToYm2151::losses() const {
    std::string text;
    for (std::string_view loss : losses_)
        text += (text.empty() ? "" : "; ") + std::string(loss);
    return text;
}

void OpnToYm2151::send(std::uint8_t address, std::uint8_t data) {
    const bool always = address == Opm::keyOn || address == Opm::lfoDepth;
    if (!always && sent_[address] == data) return;
    sent_[address] = data;
    ym2151_(address, data);
}

void OpnToYm2151::write(std::uint16_t address, std::uint8_t data) {
    if (setup_.model == OpnModel::ym2203 && address >= Opn::secondPort) return;
    if (!started_) {
        started_ = true;
        for (unsigned ch = 0; ch < channelCount(setup_.model); ++ch)
            writeChannel(ch);
    }
    if (const std::string_view loss = lossOf(setup_.model, address, data);
        !loss.empty() && std::find(losses_.begin(), losses_.end(), loss) == losses_.end())
        losses_.push_back(loss);
    const unsigned port = address >= Opn::secondPort ? 1 : 0;
    const unsigned reg = address & 0xFF;
    if (port == 0 && Opn::isSsgRegister(reg)) {
        if (setup_.model != OpnModel::ym2612) ssg_.write(byte(reg), data);
        return;
    }
    opn_.write(address, data);
    const unsigned ch = Opn::channelOf(address);
    const bool channelPlays = ch < channelCount(setup_.model);
    if (port == 0 && address == Opn::lfo && setup_.model != OpnModel::ym2203) {
        writeLfo();
    } else if (port == 0 && address >= Opn::prescalerFirst && address <= Opn::prescalerLast) {
        if (setup_.model != OpnModel::ym2612) writePrescaler(address - Opn::prescalerFirst);
    } else if (port == 0 && address == Opn::dacEnable) {
        if (setup_.model == OpnModel::ym2612) writeDacEnable(opn_.dacEnabled());
    } else if (port == 0 && address == Opn::keyOn) {
        writeKeyOn(data);
    } else if (reg >= Opn::detuneMultipleBase && reg < Opn::slotRegistersEnd) {
        if (channelPlays && (reg & 3) != 3) writeSlot(address);
    } else if (Opn::isChannelRegister(reg, Opn::blockHighBase)) {
        latch_[port] = data;
    } else if (Opn::isChannelRegister(reg, Opn::fNumberLowBase)) {
        if (!channelPlays) return;
        fNumber_[ch] = Opn::fNumberHighField::of(latch_[port]) << 8 | data;
        block_[ch] = Opn::blockField::of(latch_[port]);
        writePitch(ch);
    } else if (Opn::isChannelRegister(reg, Opn::feedbackAlgorithmBase)) {
        if (channelPlays) writeChannel(ch);
    } else if (Opn::isChannelRegister(reg, Opn::panSensitivityBase)) {
        if (channelPlays && setup_.model != OpnModel::ym2203) writePan(ch);
    }
}

void OpnToYm2151::writeSlot(std::uint16_t address) {
    const unsigned ch = Opn::channelOf(address);
    const Opn::Operator op = Opn::operatorOf(address);
    const unsigned slot = Opm::slot(ch, static_cast<Opm::Operator>(op));
    switch ((address & 0xFF) & 0xF0) {
    case Opn::detuneMultipleBase:
        send(Opm::slotRegister(Opm::detuneMultipleBase, slot),
             byte(Opm::detune1Field::make(opn_.detune(ch, op)) |
                  Opm::multipleField::make(opn_.multiple(ch, op))));
        break;
    case Opn::totalLevelBase:
        send(Opm::totalLevelRegister(slot),
             byte(Opm::totalLevelField::make(opn_.totalLevel(ch, op))));
        break;
    case Opn::attackBase:
    case Opn::decayBase:
    case Opn::sustainRateBase:
    case Opn::releaseBase: writeRates(ch, op); break;
    default: break; // the SSG-EG: dropped
    }
}

unsigned OpnToYm2151::opnKeyCode(unsigned ch) const {
    // Block x 4, then F-number bit 10 and the bit the chip derives from bits 10-7.
    const unsigned f = fNumber_[ch];
    const bool f11 = f >> 10 & 1, f10 = f >> 9 & 1, f9 = f >> 8 & 1, f8 = f >> 7 & 1;
    const bool n3 = (f11 && (f10 || f9 || f8)) || (!f11 && f10 && f9 && f8);
    return block_[ch] << 2 | static_cast<unsigned>(f11) << 1 | static_cast<unsigned>(n3);
}

void OpnToYm2151::writeRates(unsigned ch, Opn::Operator op) {
    const EnvelopeRates opnRates{opn_.keyScale(ch, op), opn_.attackRate(ch, op),
                                 opn_.decayRate(ch, op), opn_.sustainRate(ch, op),
                                 opn_.releaseRate(ch, op)};
    const double speedRatio =
        sampleRate(setup_, prescaler_) / (ym2151Clock_ / ym2151ClocksPerSample);
    const EnvelopeRates rates =
        ym2151Rates(opnRates, opnKeyCode(ch), ym2151KeyCode_[ch] >> 2, speedRatio);
    const unsigned slot = Opm::slot(ch, static_cast<Opm::Operator>(op));
    send(Opm::slotRegister(Opm::attackBase, slot),
         byte(Opm::keyScaleField::make(rates.keyScale) | Opm::attackRateField::make(rates.attack)));
    send(Opm::slotRegister(Opm::decay1Base, slot),
         byte(Opm::amEnableField::make(opn_.amEnabled(ch, op)) |
              Opm::decay1RateField::make(rates.decay)));
    send(Opm::slotRegister(Opm::decay2Base, slot), Opm::decay2RateField::make(rates.sustain));
    send(Opm::slotRegister(Opm::releaseBase, slot),
         byte(Opm::decay1LevelField::make(opn_.sustainLevel(ch, op)) |
              Opm::releaseRateField::make(rates.release)));
}

void OpnToYm2151::writePitch(unsigned ch) {
    const KeyCode key = keyCodeOf(
        opnNoteHz(fNumber_[ch], block_[ch], sampleRate(setup_, prescaler_)), ym2151Clock_);
    ym2151KeyCode_[ch] = key.code;
    send(Opm::keyFractionRegister(ch), key.fraction);
    send(Opm::keyCodeRegister(ch), key.code);
    for (const Opn::Operator op : {Opn::s1, Opn::s3, Opn::s2, Opn::s4})
        writeRates(ch, op);
}

void OpnToYm2151::writeChannel(unsigned ch) {
    const bool left = setup_.model == OpnModel::ym2203 || opn_.leftOn(ch);
    const bool right = setup_.model == OpnModel::ym2203 || opn_.rightOn(ch);
    send(Opm::channelControl(ch), byte(Opm::leftField::make(left) | Opm::rightField::make(right) |
                                       Opm::feedbackField::make(opn_.feedback(ch)) |
                                       Opm::connectionField::make(opn_.algorithm(ch))));
}

void OpnToYm2151::writePan(unsigned ch) {
    writeChannel(ch);
    send(Opm::channelRegister(Opm::sensitivityBase, ch),
         byte(Opm::pmSensitivityField::make(pmSensitivityOf[opn_.pmSensitivity(ch)]) |
              Opm::amSensitivityField::make(amSensitivityOf[opn_.amSensitivity(ch)])));
}

void OpnToYm2151::writeLfo() {
    if (!opn_.lfoEnabled()) {
        send(Opm::lfoDepth, Opm::depthSelectField::make(0));
        send(Opm::lfoDepth, Opm::depthSelectField::make(1));
        return;
    }
    const double hz =
        sampleRate(setup_, prescaler_) / (opnLfoPeriods[opn_.lfoRate()] * opnLfoPeriodUnit);
    const double ym2151Rate = ym2151Clock_ / ym2151ClocksPerSample;
    unsigned best = 0;
    double bestError = 1e9;
    for (unsigned lfrq = 0; lfrq <= 0xFF; ++lfrq) {
        const double lfrqHz =
            ym2151Rate * (16 + (lfrq & 15)) * (1u << (lfrq >> 4)) / ym2151LfoDivisor;
        const double error = std::abs(std::log2(lfrqHz / hz));
        if (error < bestError) {
            bestError = error;
            best = lfrq;
        }
    }
    send(Opm::lfoFrequency, byte(best));
    send(Opm::lfoWaveform, Opm::lfoWaveField::make(triangleWave));
    send(Opm::lfoDepth, byte(Opm::depthSelectField::make(0) | Opm::depthField::make(amDepth)));
    send(Opm::lfoDepth, byte(Opm::depthSelectField::make(1) | Opm::depthField::make(pmDepth)));
}

void OpnToYm2151::writePrescaler(unsigned prescaler) {
    if (prescaler >= prescalerCount || prescaler == prescaler_) return;
    prescaler_ = prescaler;
    ssg_.setSourceClock(ssgClock(setup_, prescaler_));
    for (unsigned ch = 0; ch < channelCount(setup_.model); ++ch)
        writePitch(ch);
    if (setup_.model != OpnModel::ym2203 && opn_.lfoEnabled()) writeLfo();
}

void OpnToYm2151::writeDacEnable(bool on) {
    if (on == dacOn_) return;
    dacOn_ = on;
    if (on)
        send(Opm::keyOn, Opm::keyOnByte(dacChannel, 0));
    else if (Opn::keyOnSlotsField::of(dacChannelKey_) != 0)
        writeKeyOn(dacChannelKey_);
}

void OpnToYm2151::writeKeyOn(std::uint8_t data) {
    const int ch = Opn::keyOnTarget(data);
    if (ch < 0 || static_cast<unsigned>(ch) >= channelCount(setup_.model)) return;
    if (setup_.model == OpnModel::ym2608 && ch >= static_cast<int>(Opn::channelsPerPort) &&
        !opn_.sixChannels())
        return;
    if (ch == static_cast<int>(dacChannel)) {
        dacChannelKey_ = data;
        if (dacOn_) return;
    }
    send(Opm::keyOn, Opm::keyOnByte(static_cast<unsigned>(ch), Opn::keyOnSlotsField::of(data)));
}

} // namespace convert
