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
// until its start tick. A delay cut short by "no delay" goes on as SoftLfo's
// does, from a level of 0 whatever the sign of the amplitude, the square
// moving by the amplitude at each turn; a shape so resumed that goes below 0
// reads as a word without sign: beyond the TL's range (songs
// "LfoDelayCutAfterADelayedKeyOn", "LfoDelayCutOnADownwardVolumeLfo").
#pragma once

#include <algorithm>

namespace mdx {

class VolumeLfo {
public:
    enum class Wave { saw, square, triangle };
    static constexpr int wordRange = 0x10000;
    static constexpr unsigned waveCount = 3;

    void configure(unsigned wave, int period, int amplitude) {
        wave_ = static_cast<Wave>(std::min(wave, waveCount - 1));
        period_ = period;
        amplitude_ = amplitude;
        enabled_ = true;
        restartShape();
        shown_ = true;
        resumable_ = false;
    }
    void setEnabled(bool on) {
        enabled_ = on;
        if (on) {
            restartShape();
            shown_ = true;
            resumable_ = false;
        }
    }
    bool enabled() const { return enabled_; }

    // As SoftLfo's restart and endDelay: a delay cut short goes on from 0
    // as the key-on's restart left the shape.
    void restart(int delay, bool atDelayedKeyOn = false) {
        if (atDelayedKeyOn && delayLeft_ == 0 && started_) advance();
        const Phase phase{step_, counter_, high_};
        const bool delayUnderWay = delayLeft_ > 0 && !started_ && resumable_;
        restartShape();
        resume_ = atDelayedKeyOn ? phase : Phase{step_, counter_, high_};
        // A key-on while the delay the last one began still runs: "no
        // delay" then goes on from the shape that ran before that one, one
        // step on (song "LfoDelayCutAfterKeyOnsInARow").
        if (delayUnderWay && !atDelayedKeyOn) {
            resume_ = stepped(before_);
        } else {
            before_ = phase;
        }
        resumable_ = true;
        shown_ = false;
        delayLeft_ = std::max(delay - 1, 0);
        delayStopped_ = 0;
    }
    void endDelay() {
        if (delayLeft_ > 0 && !started_ && resumable_) {
            // From a level of 0, downwards shapes too.
            value_ = amplitude_ >= 0 ? 0 : -top();
            step_ = resume_.step;
            counter_ = resume_.counter;
            high_ = resume_.high;
            started_ = true;
            held_ = true;
        }
        if (delayLeft_ > 0) delayStopped_ = delayLeft_;
        delayLeft_ = 0;
    }
    // A key-on with no delay: a stopped one is gone.
    void forgetStoppedDelay() { delayStopped_ = 0; }
    // A shape set up with a delay set again: the rest of one that "no
    // delay" stopped goes on.
    void resumeDelay() {
        if (delayStopped_ > 0) delayLeft_ = delayStopped_;
        delayStopped_ = 0;
    }

    void tick() {
        if (delayLeft_ > 0) {
            --delayLeft_;
            return;
        }
        if (!enabled_) return;
        if (held_) {
            held_ = false;
            return;
        }
        if (!started_) {
            started_ = true;
            return;
        }
        advance();
    }

    // The attenuation now, in 256ths of a TL step; 0 while off.
    int attenuation() const {
        if (!enabled_ || !(started_ || shown_)) return 0;
        const int level = amplitude_ >= 0 ? value_ : value_ + top();
        // A level below 0 (a triangle resumed on its way down) reads as a
        // word without sign: beyond the TL's range.
        return level < 0 ? level + wordRange : level;
    }

private:
    void restartShape() {
        held_ = false;
        value_ = 0;
        step_ = amplitude_;
        high_ = false;
        started_ = false;
        counter_ = period_;
    }
    struct Phase {
        int step = 0;
        int counter = 1;
        bool high = false;
    };
    // Where a negative amplitude's shapes start.
    int top() const { return wave_ == Wave::square ? -amplitude_ : -amplitude_ * period_; }
    // A phase one step on.
    Phase stepped(Phase phase) const {
        if (--phase.counter == 0) {
            phase.counter = period_;
            if (wave_ == Wave::square) phase.high = !phase.high;
            if (wave_ == Wave::triangle) phase.step = -phase.step;
        }
        return phase;
    }
    // One step of the running shape.
    void advance() {
        const bool turn = --counter_ == 0;
        if (turn) counter_ = period_;
        switch (wave_) {
        case Wave::saw: value_ = turn ? 0 : value_ + step_; break;
        case Wave::square:
            if (!turn) break;
            high_ = !high_;
            value_ += high_ ? amplitude_ : -amplitude_;
            break;
        case Wave::triangle:
            value_ += step_;
            if (turn) step_ = -step_;
            break;
        }
    }

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
    int delayStopped_ = 0;   // what "no delay" left of a delay under way
    bool held_ = false;      // this tick does not step the shape
    bool resumable_ = false; // restarted by a key-on, not by a command
    Phase resume_;           // what a delay cut short goes on with
    Phase before_;           // the shape running before the last key-on's restart
};

} // namespace mdx
