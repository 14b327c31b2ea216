// SsgPart: the SSG part of a YM2203 or YM2608 (registers 0x00-0x0F, an
// AY-3-8910 inside the chip) played on an SSG of its own. The registers are
// the same; when the two run at other PSG clocks, the tone, noise and
// envelope periods are scaled by the clocks' ratio so that pitch, noise
// rate and envelope speed stay, each kept within its register's range.
//
//   SsgPart part(1996800, 2000000, ssgFamilyWrite);
//   part.write(0x00, 0x1C);
//
// The YM2203's SSG runs at its clock / 2, the YM2608's at its clock / 4 (at
// their power-on prescalers); a prescaler write changes the source clock.
#pragma once

#include <cstdint>

#include "convert/RegisterWriter.h"
#include "synth/SsgRegisters.h"

namespace convert {

class SsgPart {
public:
    SsgPart(double sourceClock, std::uint32_t targetClock, RegisterWriter ssg);
    void write(std::uint8_t address, std::uint8_t data);
    // The source's clock changed: the periods are sent again at the new ratio.
    void setSourceClock(double sourceClock);

private:
    void sendPeriods(std::uint8_t address);
    void sendScaled(unsigned period, unsigned maximum, std::uint8_t low, std::uint8_t high);

    double targetClock_;
    double ratio_; // target clock over source clock
    RegisterWriter ssg_;
    synth::SsgRegisters regs_;
};

} // namespace convert
