// SoftLfo: the MDX driver's software pitch LFO, stepped once a
// timer-B tick from the key-on. Shapes as measured on the reference driver
// (tests/mdx/MdxReferenceTest.cpp, songs "PitchLfoWaves" and "LfoDelay"):
// the offset moves by the amplitude each tick (in 256ths of the unit it
// modulates);
//   saw:      from 0, half a period up, then it turns to minus its value and
//             climbs again, turning every period;
//   square:   0 at the start tick, then +amplitude, changing sign every period;
//   triangle: +amplitude at the start tick, turning every period, its first
//             turn after half a period.
// A new shape, or the LFO switched on again, starts at the next tick (after
// a delay under way); a triangle set up so stands at +amplitude at once,
// through the delay (test "TriangleSetUpDuringTheDelay"), where a key-on's
// restart holds it at 0. With an LFO delay d (d > 0) each key-on starts the
// shape again, held at 0 until d - 1 ticks after the key-on, the count
// running with the LFO off too; without one the LFO runs on across notes.
// Setting no delay ends one under way; another delay waits for a key-on.
// A delay so cut short does not start the shape afresh: it goes on from 0
// with the direction and the count to its next turn that the key-on's
// restart left it, held that tick (a triangle so goes on from 0, not from
// +amplitude). A key-on in its note's first tick leaves them as a start
// does; a key-on that waited its key-on delay leaves those the shape
// running before it had after one more step, taken in the key-on's tick
// (songs "LfoDelayCutAfterAKeyOn" and "LfoDelayCutAfterADelayedKeyOn"). A
// shape set up by its command while the delay runs starts afresh.
// A key-on while the delay the one before it began still runs leaves "no
// delay" the shape that ran before that one, one step on.
// "No delay" stops a delay under way rather than ending it: a shape set up
// once a delay is set again waits for the rest of it, unless a key-on came
// between (song "LfoDelayStoppedThenSetAgain").
#pragma once

#include <algorithm>

namespace mdx {

class SoftLfo {
public:
    enum class Wave { saw, square, triangle };
    static constexpr unsigned waveCount = 3;

    void configure(unsigned wave, int period, int amplitude) {
        wave_ = static_cast<Wave>(std::min(wave, waveCount - 1));
        period_ = period;
        amplitude_ = amplitude;
        enabled_ = true;
        startFromCommand();
    }
    // Off, or on again from the shape's start.
    void setEnabled(bool on) {
        enabled_ = on;
        if (on) startFromCommand();
    }
    bool enabled() const { return enabled_; }

    // Starts the shape again for a key-on, held for a delay;
    // atDelayedKeyOn: a key-on that waited its key-on delay.
    void restart(int delay, bool atDelayedKeyOn = false) {
        if (atDelayedKeyOn && delayLeft_ == 0 && started_) advance();
        const Phase running{step_, counter_};
        const bool delayUnderWay = delayLeft_ > 0 && !started_ && resumable_;
        restartShape();
        resume_ = atDelayedKeyOn ? running : Phase{step_, counter_};
        // A key-on while the delay the last one began still runs: "no
        // delay" then goes on from the shape that ran before that one, one
        // step on (song "LfoDelayCutAfterKeyOnsInARow").
        if (delayUnderWay && !atDelayedKeyOn) {
            resume_ = stepped(before_);
        } else {
            before_ = running;
        }
        resumable_ = true;
        delayLeft_ = std::max(delay - 1, 0);
        delayStopped_ = 0;
    }
    // No delay: one under way ends, the shape going on from 0.
    void endDelay() {
        if (delayLeft_ > 0 && !started_ && resumable_) {
            offset_ = 0;
            step_ = resume_.step;
            counter_ = resume_.counter;
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

    // One tick, the key-on's own included.
    void tick() {
        // The delay counts down with the LFO off too.
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
            if (wave_ == Wave::triangle) offset_ = step_;
            return;
        }
        advance();
    }

    // The offset now, 0 while off.
    int offset() const { return enabled_ ? offset_ : 0; }

private:
    // Starts the shape again; a delay under way goes on (test
    // "LfoOnTiedNote": a shape set up while the delay runs waits for it).
    void restartShape() {
        held_ = false;
        offset_ = 0;
        step_ = amplitude_;
        started_ = false;
        counter_ = wave_ == Wave::square ? period_ : period_ / 2;
    }
    struct Phase {
        int step = 0;
        int counter = 1;
    };
    // A phase one step on: its count to the next turn less one.
    Phase stepped(Phase phase) const {
        if (--phase.counter == 0) {
            phase.counter = period_;
            if (wave_ != Wave::saw) phase.step = -phase.step;
        }
        return phase;
    }
    // One step of the running shape.
    void advance() {
        switch (wave_) {
        case Wave::saw:
            offset_ += step_;
            if (--counter_ == 0) {
                counter_ = period_;
                offset_ = -offset_;
            }
            break;
        case Wave::square:
            offset_ = step_;
            if (--counter_ == 0) {
                counter_ = period_;
                step_ = -step_;
            }
            break;
        case Wave::triangle:
            offset_ += step_;
            if (--counter_ == 0) {
                counter_ = period_;
                step_ = -step_;
            }
            break;
        }
    }
    void startFromCommand() {
        restartShape();
        resumable_ = false;
        if (wave_ == Wave::triangle) offset_ = step_;
    }

    Wave wave_ = Wave::saw;
    int period_ = 1;
    int amplitude_ = 0;
    bool enabled_ = false;
    bool started_ = false;
    int offset_ = 0;
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
