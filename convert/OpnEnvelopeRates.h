// OpnEnvelopeRates: an OPN operator's envelope rates (AR, DR, SR, RR and
// key scaling KS) as the YM2151 rates that take the same times at its clock.
//
// Both chips run the same envelope design: a rate R and the key scaling give
// an effective rate 2R + (key code >> (3 - KS)) (release: 4 RR + 2 + ...),
// up to 63, and each effective rate moves the envelope at a speed of
// (4 + rate mod 4) x 2^(rate / 4) steps per 2^13 ticks of the envelope
// clock, from 60 up at the fastest; an attack from 62 up is instant. The
// clocks differ: the OPN's envelope ticks at its sample rate fs (clock / 72
// on the YM2203, clock / 144 on the YM2608 and YM2612) over 3, the YM2151's
// at its clock / 64 over 3. So the same numbers run at other speeds, and a
// note's key code (which the key scaling adds) differs between the OPN's
// block and F-number and the YM2151's octave and note.
//
// ym2151Rates picks, for one operator and the current notes on both chips,
// the key scaling and the four rates whose speeds are nearest (in ratio) to
// the OPN's, trying the four key scalings and keeping the one whose largest
// error (in octaves) over the four rates is least. Rates of 0 stay 0 (the
// envelope holds); fastest stays fastest.
#pragma once

namespace convert {

struct EnvelopeRates {
    unsigned keyScale = 0; // KS 0-3
    unsigned attack = 0;   // AR 0-31
    unsigned decay = 0;    // DR / D1R 0-31
    unsigned sustain = 0;  // SR / D2R 0-31
    unsigned release = 0;  // RR 0-15
    bool operator==(const EnvelopeRates&) const = default;
};

// The rate in octaves of envelope speed (log2 of the speed, up to a
// constant) of an effective rate 1-63; 0 for 0.
double envelopeSpeedOctaves(unsigned effectiveRate);

// The effective rate of a rate register value (doubled, release quadrupled
// plus 2 by the caller) with key scaling of a 5-bit key code.
unsigned effectiveRate(unsigned doubledRate, unsigned keyScale, unsigned keyCode);

// opnKeyCode: block x 4 + the F-number's two key bits; ym2151KeyCode: the
// key code register's bits 6-2. speedRatio: the OPN's envelope clock over
// the YM2151's.
EnvelopeRates ym2151Rates(const EnvelopeRates& opn, unsigned opnKeyCode, unsigned ym2151KeyCode,
                          double speedRatio);

} // namespace convert
