// ChipFamily: one chip as a song is played on it, the base of the chip
// families (Ym2151Family, SsgFamily, Ym2413Family, OpnFamily; made by
// makeFamily in FamilyFactory.h, the one place that tells chip types
// apart). It keeps every register as the song set it and sends what the
// chip needs to sound as the song meant:
//   - on a chip with another clock, the pitch registers corrected for the
//     clock ratio;
//   - while fading, the levels of the sounding operators and channels raised
//     in attenuation;
//   - silence (every channel keyed off, every level muted) and the restoring
//     of every register afterwards, keys last, for pausing and stopping.
// It also tells which channels are keyed on, for the activity meter. Each
// family supplies its registers' meaning through the protected operations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tavroplay/RegisterSink.h"

namespace tavroplay {

class ChipFamily {
public:
    // ratio: the song's clock over the chip's (1 when they match).
    ChipFamily(std::size_t registerCount, double ratio, RegisterSink& sink);
    virtual ~ChipFamily() = default;
    ChipFamily(const ChipFamily&) = delete;
    ChipFamily& operator=(const ChipFamily&) = delete;

    double ratio() const { return ratio_; }

    // A write from the song (addresses beyond the chip's map are dropped).
    virtual void write(std::uint16_t address, std::uint8_t data);
    // Attenuation of everything the chip sounds, in dB (0: as the song says).
    virtual void setAttenuation(double decibels);
    // Keys every channel off and mutes every level; writes from the song are
    // still kept but not sent until restore.
    virtual void silence();
    // Sends every register the song has set, keys last, with the current
    // attenuation, and lets writes through again.
    virtual void restore();

    // One character per channel: '#' keyed on, '.' off; chips with parts
    // separate them by a blank.
    virtual std::string activity() const = 0;
    // The chip's short name in the status line: "OPM", "PSG".
    virtual std::string_view meterName() const = 0;

protected:
    // Notes what a write means before it is sent (key registers).
    virtual void noteWrite(std::uint16_t, std::uint8_t) {}
    // Sends the song's value of one register as it must reach the chip; with
    // onlyChanges, not when it is what was last sent.
    virtual void emit(std::uint16_t address, bool onlyChanges) = 0;
    // Sends the levels again after the attenuation changed.
    virtual void refreshLevels() = 0;
    // Keys off and mutes (the attenuation is total while silenced).
    virtual void mute() = 0;
    // Registers restore leaves to restoreKeys (keys, triggers) or to the
    // register they go out with.
    virtual bool restoredOtherwise(std::uint16_t address) const = 0;
    virtual void restoreKeys() = 0;

    int shadow(std::uint16_t address) const { return shadow_[address]; }
    bool isSet(std::uint16_t address) const { return shadow_[address] >= 0; }
    std::uint8_t value(std::uint16_t address) const {
        return static_cast<std::uint8_t>(shadow_[address] < 0 ? 0 : shadow_[address]);
    }
    int sent(std::uint16_t address) const { return sent_[address]; }
    void send(std::uint16_t address, std::uint8_t data, bool onlyChanges);
    // emit(address, true) for every register in [first, last] the song set,
    // or every one with all.
    void refresh(std::uint16_t first, std::uint16_t last, bool all = false);
    // The attenuation in steps of a level register (every step while
    // silenced).
    int steps(double stepDecibels) const;
    bool corrects() const { return ratio_ != 1.0; }
    bool silenced() const { return silenced_; }
    double attenuation() const { return attenuation_; }
    char mark(bool on) const { return on && !silenced_ ? '#' : '.'; }

private:
    double ratio_;
    RegisterSink& sink_;
    std::vector<std::int16_t> shadow_;
    std::vector<std::int16_t> sent_;
    double attenuation_ = 0;
    bool silenced_ = false;
};

} // namespace tavroplay
