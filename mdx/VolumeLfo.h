// VolumeLfo: the MDX driver's software volume LFO (0xEB), stepped once a
// timer-B tick from the key-on alongside the pitch LFO (SoftLfo), with the
// same delay and restarts. Shapes as measured on the reference driver
// (tests/mdx/MdxReferenceTest.cpp, song "VolumeLfoWaves"): an attenuation
// added to the carriers' TL, in 256ths of a TL step, that only ever
// attenuates:
//   saw:      0 at the start tick, then up by the amplitude each tick, back
//             to 0 every period;
//   square:   0 for a period, then the amplitude for a period;
//   triangle: 0 at the start tick, up by the amplitude each tick for a
//             period, then down for a period.
// A negative amplitude runs the same shapes downwards from the top (period x
// amplitude for saw and triangle, the amplitude for square), so that the
// level never rises above the volume set. Set up by its command, the LFO
// stands at its start value at once (through a delay under way: test
// "VolumeLfoSetUpDuringTheDelay"); restarted by a key-on, it adds nothing
// until its start tick.
#pragma once

#include <algorithm>

namespace mdx {

class VolumeLfo {
public:
    enum class Wave { saw, square, triangle };
    static constexpr unsigned waveCount = 3;

    void configure(unsigned wave, int period, int amplitude) {
        wave_ = static_cast<Wave>(std::min(wave, waveCount - 1));
        period_ = period;
        amplitude_ = amplitude;
        enabled_ = true;
        restartShape();
        shown_ = true;
    }
    void setEnabled(bool on) {
        enabled_ = on;
        if (on) {
            restartShape();
            shown_ = true;
        }
    }
    bool enabled() const { return enabled_; }

    void restart(int delay) {
        restartShape();
        shown_ = false;
        delayLeft_ = std::max(delay - 1, 0);
    }
    void endDelay() { delayLeft_ = 0; }
    void restartShape() {
        value_ = 0;
        step_ = amplitude_;
        high_ = false;
        started_ = false;
        counter_ = period_;
    }

    void tick() {
        if (delayLeft_ > 0) {
            --delayLeft_;
            return;
        }
        if (!enabled_) return;
        if (!started_) {
            started_ = true;
            return;
        }
        const bool turn = --counter_ == 0;
        if (turn) counter_ = period_;
        switch (wave_) {
        case Wave::saw: value_ = turn ? 0 : value_ + step_; break;
        case Wave::square:
            if (turn) high_ = !high_;
            value_ = high_ ? amplitude_ : 0;
            break;
        case Wave::triangle:
            value_ += step_;
            if (turn) step_ = -step_;
            break;
        }
    }

    // The attenuation now, in 256ths of a TL step; 0 while off.
    int attenuation() const {
        if (!enabled_ || !(started_ || shown_)) return 0;
        if (amplitude_ >= 0) return value_;
        const int top = wave_ == Wave::square ? -amplitude_ : -amplitude_ * period_;
        return value_ + top;
    }

private:
    Wave wave_ = Wave::saw;
    int period_ = 1;
    int amplitude_ = 0;
    bool enabled_ = false;
    bool started_ = false;
    bool high_ = false;
    bool shown_ = false; // set up by its command: at its start value at once
    int value_ = 0;
    int step_ = 0;
    int counter_ = 0;
    int delayLeft_ = 0;
};

} // namespace mdx
