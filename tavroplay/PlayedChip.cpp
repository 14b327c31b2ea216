// A chip of a VGM file as played; see PlayedChip.h. The register maps used
// here:
//
// YM2151: 0x08 key on  | 6..3: slots | 2..0: channel |
//         0x20+ch      | 7,6: output | 5..3: feedback | 2..0: algorithm |
//         0x28+ch key code, 0x30+ch key fraction
//         0x60 + 8*operator + ch: total level (7 bits, 0.75 dB per step);
//         operators in register order M1, M2, C1, C2
// OPN (YM2203, YM2608; port 1 = 0x100 and up for channels 4 to 6):
//         0x00-0x0F the SSG part (as the PSG below)
//         0x28 key on      | 7..4: slots | 2..0: channel (0-2, 4-6) |
//         0x40 + 4*slot + ch: total level (7 bits, 0.75 dB); slots in
//         register order S1, S3, S2, S4
//         0xA0+ch F-number low, 0xA4+ch | 5..3: block | 2..0: F-number high |
//         (the high byte is latched until the low byte is written); the
//         channel 3 slot frequencies 0xA8-0xAA / 0xAC-0xAE likewise
//         0xB0+ch | 5..3: feedback | 2..0: algorithm |
//         YM2608: 0x10 rhythm keys, 0x11 rhythm total level (6 bits, higher is
//         louder), 0x100 ADPCM control, 0x10B ADPCM level (higher is louder)
// PSG:    0-5 tone periods (12 bits, fine then coarse), 6 noise period (5
//         bits), 7 mixer (low = on: 2..0 tone, 5..3 noise), 8-10 | 4: envelope |
//         3..0: level (about 3 dB per step) |, 11-12 envelope period, 13 shape
// YM2413: 0x0E | 5: rhythm mode | 4..0: BD SD TOM CYM HH keys |
//         0x10+ch F-number low, 0x20+ch | 5: sustain | 4: key | 3..1: block |
//         0: F-number bit 8 |, 0x30+ch | 7..4: instrument | 3..0: volume
//         (3 dB per step, 15 quietest) |; in rhythm mode 0x36-0x38 hold two
//         drum volumes each
#include "tavroplay/PlayedChip.h"

#include <algorithm>
#include <cmath>

#include "tavroplay/ClockCorrection.h"

namespace tavroplay {

namespace {

using vgm::VgmChip;

constexpr int mutedSteps = 1000;
constexpr double fmStepDecibels = 0.75;
constexpr double volumeStepDecibels = 3.0;

// Carrier operators of each algorithm, as bits of the operator numbers 1 to 4
// in the chip's connection diagrams (bit 0 = operator 1).
constexpr std::uint8_t carriers[8] = {0x8, 0x8, 0x8, 0x8, 0xA, 0xE, 0xE, 0xF};

// YM2151 register order M1, M2, C1, C2 is operators 1, 3, 2, 4 of the
// diagrams; OPN register order S1, S3, S2, S4 likewise.
constexpr int operatorOfRegisterSlot[4] = {0, 2, 1, 3};

bool isYm2608(VgmChip kind) {
    return kind == VgmChip::ym2608;
}
bool isOpn(VgmChip kind) {
    return kind == VgmChip::ym2203 || kind == VgmChip::ym2608;
}

} // namespace

PlayedChip::PlayedChip(VgmChip kind, double ratio, RegisterSink& sink)
    : kind_(kind), ratio_(ratio), sink_(sink) {
    shadow_.fill(-1);
    sent_.fill(-1);
    for (std::uint8_t ch = 0; ch < keys_.size(); ++ch)
        keys_[ch] = isOpn(kind) ? static_cast<std::uint8_t>(ch < 3 ? ch : ch + 1) : ch;
}

void PlayedChip::send(std::uint16_t address, std::uint8_t value, bool onlyChanges) {
    if (onlyChanges && sent_[address] == value) return;
    sent_[address] = value;
    sink_.write(address, value);
}

int PlayedChip::steps(double stepDecibels) const {
    if (silenced_) return mutedSteps;
    return static_cast<int>(std::lround(attenuation_ / stepDecibels));
}

void PlayedChip::write(std::uint16_t address, std::uint8_t data) {
    if (address >= registerCount) return;
    shadow_[address] = data;
    if (kind_ == VgmChip::ym2151 && address == 0x08) keys_[data & 7] = data;
    if (isOpn(kind_) && address == 0x28 && (data & 3) != 3)
        keys_[(data & 3) + (data & 4 ? 3 : 0)] = data;
    if (!silenced_) emit(address, false);
}

void PlayedChip::emit(std::uint16_t address, bool onlyChanges) {
    switch (kind_) {
    case VgmChip::ym2151: emitOpm(address, onlyChanges); break;
    case VgmChip::ym2203:
    case VgmChip::ym2608: emitOpn(address, onlyChanges); break;
    case VgmChip::ym2413: emitOpll(address, onlyChanges); break;
    case VgmChip::ay8910: emitSsg(address, onlyChanges); break;
    }
}

std::uint8_t PlayedChip::attenuatedVolume(int volume, int stepsDown) const {
    return static_cast<std::uint8_t>(std::max(0, volume - stepsDown));
}

// YM2151.

std::uint8_t PlayedChip::opmLevel(std::uint16_t address) const {
    const int value = shadowOr0(address);
    const int ch = address & 7;
    const int op = operatorOfRegisterSlot[(address - 0x60) >> 3];
    const int algorithm = shadowOr0(0x20 + ch) & 7;
    if ((carriers[algorithm] >> op & 1) == 0) return static_cast<std::uint8_t>(value);
    const int level = std::min(0x7F, (value & 0x7F) + steps(fmStepDecibels));
    return static_cast<std::uint8_t>((value & 0x80) | level);
}

void PlayedChip::emitOpm(std::uint16_t address, bool onlyChanges) {
    const auto value = static_cast<std::uint8_t>(shadowOr0(address));
    if (address >= 0x20 && address < 0x28) {
        send(address, value, onlyChanges);
        for (int op = 0; op < 4; ++op) {
            const auto level = static_cast<std::uint16_t>(0x60 + 8 * op + (address & 7));
            if (shadow(level) >= 0) send(level, opmLevel(level), true);
        }
    } else if (address >= 0x28 && address < 0x38 && corrects()) {
        const int ch = address & 7;
        const auto kc = static_cast<std::uint16_t>(0x28 + ch);
        const auto kf = static_cast<std::uint16_t>(0x30 + ch);
        const KeyCode corrected = correctKeyCode(
            {static_cast<std::uint8_t>(shadowOr0(kc)), static_cast<std::uint8_t>(shadowOr0(kf))},
            ratio_);
        // The other register of the pair goes out only once the file has set it.
        if (shadow(kc) >= 0) send(kc, corrected.kc, onlyChanges || address != kc);
        if (shadow(kf) >= 0) send(kf, corrected.kf, onlyChanges || address != kf);
    } else if (address >= 0x60 && address < 0x80) {
        send(address, opmLevel(address), onlyChanges);
    } else {
        send(address, value, onlyChanges);
    }
}

// YM2203 and YM2608.

std::uint8_t PlayedChip::opnLevel(std::uint16_t address) const {
    const int value = shadowOr0(address);
    const int reg = address & 0xFF;
    const int ch = reg & 3;
    const int op = operatorOfRegisterSlot[reg >> 2 & 3];
    const int algorithm = shadowOr0((address & 0x100) | (0xB0 + ch)) & 7;
    if ((carriers[algorithm] >> op & 1) == 0) return static_cast<std::uint8_t>(value);
    const int level = std::min(0x7F, (value & 0x7F) + steps(fmStepDecibels));
    return static_cast<std::uint8_t>((value & 0x80) | level);
}

void PlayedChip::emitOpn(std::uint16_t address, bool onlyChanges) {
    const auto value = static_cast<std::uint8_t>(shadowOr0(address));
    const std::uint16_t port = address & 0x100;
    const int reg = address & 0xFF;
    if (port == 0 && reg < 0x10) {
        emitSsg(address, onlyChanges);
    } else if (reg >= 0x40 && reg < 0x50 && (reg & 3) != 3) {
        send(address, opnLevel(address), onlyChanges);
    } else if (reg >= 0xB0 && reg < 0xB3) {
        send(address, value, onlyChanges);
        for (int slot = 0; slot < 4; ++slot) {
            const auto level = static_cast<std::uint16_t>(port | (0x40 + 4 * slot + (reg & 3)));
            if (shadow(level) >= 0) send(level, opnLevel(level), true);
        }
    } else if (reg >= 0xA0 && reg < 0xB0 && (reg & 3) != 3 && corrects()) {
        const auto low = static_cast<std::uint16_t>(port | (reg & ~4));
        const auto high = static_cast<std::uint16_t>(low + 4);
        const int highValue = shadowOr0(high);
        const FNumber corrected =
            correctFNumber({static_cast<std::uint16_t>((highValue & 7) << 8 | shadowOr0(low)),
                            static_cast<std::uint8_t>(highValue >> 3 & 7)},
                           ratio_, 11);
        // The high byte waits in a latch until the low byte is written.
        send(high,
             static_cast<std::uint8_t>((highValue & 0xC0) | corrected.block << 3 |
                                       corrected.fnumber >> 8),
             onlyChanges || address != high);
        if (address == low || onlyChanges)
            send(low, static_cast<std::uint8_t>(corrected.fnumber), onlyChanges);
    } else if (isYm2608(kind_) && address == 0x11) {
        send(address,
             static_cast<std::uint8_t>((value & 0xC0) |
                                       attenuatedVolume(value & 0x3F, steps(fmStepDecibels))),
             onlyChanges);
    } else if (isYm2608(kind_) && address == 0x10B) {
        const double gain = silenced_ ? 0 : std::pow(10.0, -attenuation_ / 20);
        send(address, static_cast<std::uint8_t>(std::lround(value * gain)), onlyChanges);
    } else {
        send(address, value, onlyChanges);
    }
}

// PSG registers, also the OPN chips' SSG part.

void PlayedChip::emitSsg(std::uint16_t address, bool onlyChanges) {
    const auto value = static_cast<std::uint8_t>(shadowOr0(address));
    const auto sendPeriod = [&](std::uint16_t low, std::uint32_t mask, std::uint32_t maximum) {
        const auto high = static_cast<std::uint16_t>(low + 1);
        const std::uint32_t period =
            (static_cast<std::uint32_t>(shadowOr0(high)) << 8 | shadowOr0(low)) & mask;
        const std::uint32_t corrected = correctPeriod(period, ratio_, maximum);
        if (shadow(low) >= 0)
            send(low, static_cast<std::uint8_t>(corrected), onlyChanges || address != low);
        if (shadow(high) >= 0)
            send(high, static_cast<std::uint8_t>((shadowOr0(high) & ~(mask >> 8)) | corrected >> 8),
                 onlyChanges || address != high);
    };
    if (address < 6 && corrects()) {
        sendPeriod(static_cast<std::uint16_t>(address & ~1), 0x0FFF, 0x0FFF);
    } else if (address == 6 && corrects()) {
        send(address,
             static_cast<std::uint8_t>((value & 0xE0) | correctPeriod(value & 0x1F, ratio_, 0x1F)),
             onlyChanges);
    } else if ((address == 11 || address == 12) && corrects()) {
        sendPeriod(11, 0xFFFF, 0xFFFF);
    } else if (address >= 8 && address <= 10) {
        const int down = steps(volumeStepDecibels);
        std::uint8_t level = value;
        if (down > 0) {
            // An envelope cannot be attenuated: it becomes the loudest fixed level.
            const int volume = value & 0x10 ? 15 : value & 0x0F;
            level = attenuatedVolume(volume, down);
        }
        send(address, level, onlyChanges);
    } else {
        send(address, value, onlyChanges);
    }
}

// YM2413.

void PlayedChip::emitOpll(std::uint16_t address, bool onlyChanges) {
    const auto value = static_cast<std::uint8_t>(shadowOr0(address));
    if (((address >= 0x10 && address < 0x19) || (address >= 0x20 && address < 0x29)) &&
        corrects()) {
        const int ch = address & 0x0F;
        const auto low = static_cast<std::uint16_t>(0x10 + ch);
        const auto high = static_cast<std::uint16_t>(0x20 + ch);
        const int highValue = shadowOr0(high);
        const FNumber corrected =
            correctFNumber({static_cast<std::uint16_t>((highValue & 1) << 8 | shadowOr0(low)),
                            static_cast<std::uint8_t>(highValue >> 1 & 7)},
                           ratio_, 9);
        if (shadow(low) >= 0)
            send(low, static_cast<std::uint8_t>(corrected.fnumber), onlyChanges || address != low);
        if (shadow(high) >= 0)
            send(high,
                 static_cast<std::uint8_t>((highValue & 0x30) | corrected.block << 1 |
                                           corrected.fnumber >> 8),
                 onlyChanges || address != high);
    } else if (address >= 0x30 && address < 0x39) {
        const int down = steps(volumeStepDecibels);
        const auto quieter = [down](int volume) { return std::min(15, volume + down); };
        int level = (value & 0xF0) | quieter(value & 0x0F);
        if (address >= 0x36 && (shadowOr0(0x0E) & 0x20))
            level = quieter(value >> 4) << 4 | quieter(value & 0x0F);
        send(address, static_cast<std::uint8_t>(level), onlyChanges);
    } else if (address == 0x0E) {
        send(address, value, onlyChanges);
        for (std::uint16_t drums = 0x36; drums < 0x39; ++drums)
            if (shadow(drums) >= 0) emitOpll(drums, true);
    } else {
        send(address, value, onlyChanges);
    }
}

// Fading, silence and restoring.

void PlayedChip::setAttenuation(double decibels) {
    attenuation_ = decibels;
    if (silenced_) return;
    const auto refresh = [this](std::uint16_t first, std::uint16_t last) {
        for (std::uint16_t address = first; address <= last; ++address)
            if (shadow(address) >= 0) emit(address, true);
    };
    switch (kind_) {
    case VgmChip::ym2151: refresh(0x60, 0x7F); break;
    case VgmChip::ym2608:
        refresh(0x140, 0x14E);
        refresh(0x11, 0x11);
        refresh(0x10B, 0x10B);
        [[fallthrough]];
    case VgmChip::ym2203:
        refresh(0x40, 0x4E);
        refresh(8, 10);
        break;
    case VgmChip::ay8910: refresh(8, 10); break;
    case VgmChip::ym2413: refresh(0x30, 0x38); break;
    }
}

void PlayedChip::silence() {
    if (silenced_) return;
    silenced_ = true;
    const auto mute = [this](std::uint16_t first, std::uint16_t last) {
        for (std::uint16_t address = first; address <= last; ++address)
            emit(address, true);
    };
    switch (kind_) {
    case VgmChip::ym2151:
        for (std::uint8_t ch = 0; ch < 8; ++ch)
            send(0x08, ch, false);
        mute(0x60, 0x7F);
        break;
    case VgmChip::ym2608:
        for (std::uint8_t ch : {4, 5, 6})
            send(0x28, ch, false);
        send(0x10, 0xBF, false);  // every drum dumped
        send(0x100, 0x01, false); // ADPCM reset
        for (std::uint16_t address = 0x140; address < 0x14F; ++address)
            if ((address & 3) != 3) emit(address, true);
        [[fallthrough]];
    case VgmChip::ym2203:
        for (std::uint8_t ch : {0, 1, 2})
            send(0x28, ch, false);
        for (std::uint16_t address = 0x40; address < 0x4F; ++address)
            if ((address & 3) != 3) emit(address, true);
        mute(8, 10);
        break;
    case VgmChip::ay8910: mute(8, 10); break;
    case VgmChip::ym2413:
        for (std::uint16_t ch = 0; ch < 9; ++ch) {
            const int sent = sent_[0x20 + ch];
            send(static_cast<std::uint16_t>(0x20 + ch),
                 static_cast<std::uint8_t>((sent < 0 ? 0 : sent) & ~0x10), false);
        }
        send(0x0E, static_cast<std::uint8_t>(shadowOr0(0x0E) & 0x20), false);
        mute(0x30, 0x38);
        break;
    }
}

bool PlayedChip::isKeyRegister(std::uint16_t address) const {
    switch (kind_) {
    case VgmChip::ym2151: return address == 0x08;
    case VgmChip::ym2203:
    case VgmChip::ym2608:
        return address == 0x28 || (address >= 0x2D && address <= 0x2F) ||
               (isYm2608(kind_) && (address == 0x10 || address == 0x100));
    case VgmChip::ym2413: return address == 0x0E || (address >= 0x20 && address < 0x29);
    case VgmChip::ay8910: return false;
    }
    return false;
}

void PlayedChip::restore() {
    if (!silenced_) return;
    silenced_ = false;
    for (std::uint16_t address = 0; address < registerCount; ++address) {
        if (shadow(address) < 0 || isKeyRegister(address)) continue;
        // The OPN high frequency bytes go out with their low bytes.
        if (isOpn(kind_) && (address & 0xFF) >= 0xA4 && (address & 0xFF) < 0xB0 &&
            (address & 4) != 0 && shadow(static_cast<std::uint16_t>(address & ~4)) >= 0)
            continue;
        emit(address, false);
    }
    switch (kind_) {
    case VgmChip::ym2151:
        for (std::uint8_t key : keys_)
            send(0x08, key, false);
        break;
    case VgmChip::ym2203:
    case VgmChip::ym2608:
        for (std::size_t ch = 0; ch < (isYm2608(kind_) ? 6u : 3u); ++ch)
            send(0x28, keys_[ch], false);
        break;
    case VgmChip::ym2413:
        for (std::uint16_t address = 0x20; address < 0x29; ++address)
            if (shadow(address) >= 0) emit(address, false);
        if (shadow(0x0E) >= 0) emit(0x0E, false);
        break;
    case VgmChip::ay8910: break;
    }
}

std::string PlayedChip::activity() const {
    std::string meter;
    const auto mark = [this, &meter](bool on) { meter += on && !silenced_ ? '#' : '.'; };
    const auto ssg = [&] {
        const int mixer = shadowOr0(7);
        for (int ch = 0; ch < 3; ++ch)
            mark((shadowOr0(static_cast<std::uint16_t>(8 + ch)) & 0x1F) != 0 &&
                 ((mixer >> ch & 1) == 0 || (mixer >> (ch + 3) & 1) == 0));
    };
    switch (kind_) {
    case VgmChip::ym2151:
        for (std::uint8_t key : keys_)
            mark((key & 0x78) != 0);
        break;
    case VgmChip::ym2203:
    case VgmChip::ym2608:
        for (std::size_t ch = 0; ch < (isYm2608(kind_) ? 6u : 3u); ++ch)
            mark((keys_[ch] & 0xF0) != 0);
        meter += ' ';
        ssg();
        break;
    case VgmChip::ay8910: ssg(); break;
    case VgmChip::ym2413: {
        const int rhythm = shadowOr0(0x0E);
        const int melodic = rhythm & 0x20 ? 6 : 9;
        for (int ch = 0; ch < melodic; ++ch)
            mark((shadowOr0(static_cast<std::uint16_t>(0x20 + ch)) & 0x10) != 0);
        if (rhythm & 0x20) {
            meter += ' ';
            for (int drum = 4; drum >= 0; --drum)
                mark((rhythm >> drum & 1) != 0);
        }
        break;
    }
    }
    return meter;
}

} // namespace tavroplay
