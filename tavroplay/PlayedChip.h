// PlayedChip: one chip of a VGM file as it is played on a real or software
// chip. It keeps every register as the file set it and sends what the chip
// needs to sound as the file meant:
//   - on a chip with another clock, the pitch registers corrected for the
//     clock ratio (YM2151 key code and fraction, PSG periods, F-numbers and
//     blocks of the YM2413 and the OPN chips);
//   - while fading, the levels of the sounding operators and channels raised
//     in attenuation (carrier total levels by algorithm, PSG and YM2413
//     volumes, the YM2608's rhythm and ADPCM levels);
//   - silence (every channel keyed off, every level muted) and the restoring
//     of every register afterwards, for pausing and stopping.
// It also tells which channels are keyed on, for the activity meter.
//
// Register addresses are the file's: the YM2608's second port is 0x100 and up.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "vgm/VgmChip.h"

namespace tavroplay {

// Where a played chip's register writes go: a board's chip or a software one.
class RegisterSink {
public:
    virtual ~RegisterSink() = default;
    virtual void write(std::uint16_t address, std::uint8_t data) = 0;
};

class PlayedChip {
public:
    // ratio: the file's clock over the chip's (1 when they match).
    PlayedChip(vgm::VgmChip kind, double ratio, RegisterSink& sink);

    vgm::VgmChip kind() const { return kind_; }
    double ratio() const { return ratio_; }

    // A write from the file.
    void write(std::uint16_t address, std::uint8_t data);

    // Attenuation of everything the chip sounds, in dB (0: as the file says).
    void setAttenuation(double decibels);

    // Keys every channel off and mutes every level; writes from the file are
    // still recorded but not sent until restore.
    void silence();
    // Sends every register the file has set, keys last, with the current
    // attenuation, and lets writes through again.
    void restore();

    // One character per channel: '#' keyed on, '.' off; chips with parts
    // separate them by a blank (OPN: FM and SSG; YM2413 in rhythm mode: the
    // drums).
    std::string activity() const;

private:
    static constexpr std::size_t registerCount = 0x200;

    int shadow(std::uint16_t address) const { return shadow_[address]; }
    int shadowOr0(std::uint16_t address) const {
        return shadow_[address] < 0 ? 0 : shadow_[address];
    }
    // Sends a value; with onlyChanges, not when it is what was last sent.
    void send(std::uint16_t address, std::uint8_t value, bool onlyChanges);
    // Sends the file's value of one register as it must reach the chip.
    void emit(std::uint16_t address, bool onlyChanges);
    bool corrects() const { return ratio_ != 1.0; }

    // Per kind.
    void emitOpm(std::uint16_t address, bool onlyChanges);
    void emitOpn(std::uint16_t address, bool onlyChanges);
    void emitOpll(std::uint16_t address, bool onlyChanges);
    // The PSG registers 0x00-0x0F (also the OPN chips' SSG part).
    void emitSsg(std::uint16_t address, bool onlyChanges);

    std::uint8_t opmLevel(std::uint16_t address) const;
    std::uint8_t opnLevel(std::uint16_t address) const;
    std::uint8_t attenuatedVolume(int volume, int steps) const;
    int steps(double stepDecibels) const;
    bool isKeyRegister(std::uint16_t address) const;

    vgm::VgmChip kind_;
    double ratio_;
    RegisterSink& sink_;
    std::array<std::int16_t, registerCount> shadow_;
    std::array<std::int16_t, registerCount> sent_;
    std::array<std::uint8_t, 8> keys_{}; // OPM / OPN: last key register value per channel
    double attenuation_ = 0;
    bool silenced_ = false;
};

} // namespace tavroplay
