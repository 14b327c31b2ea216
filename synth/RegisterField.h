// RegisterField: one field of a chip register's byte, `width` bits from bit
// `shift`, read with of() and written with with(). The register headers
// (Ym2151Registers.h, Ym2413Registers.h, SsgRegisters.h, OpnRegisters.h)
// name every field of their chip's map with one, so that the software chips,
// the players and the converters read and build register bytes the same way:
//
//     using Fb = Ym2151Registers::feedbackField;
//     std::uint8_t value = Fb::with(old, 5);  // bits 5..3 of 0x20 + ch
//     unsigned fb = Fb::of(value);
#pragma once

#include <cstdint>

namespace synth {

template <unsigned shift, unsigned width> struct RegisterField {
    static_assert(width > 0 && shift + width <= 8, "a field lies within one byte");

    static constexpr unsigned maximum = (1u << width) - 1;
    static constexpr std::uint8_t mask = static_cast<std::uint8_t>(maximum << shift);

    // The field's value in a register byte.
    static constexpr unsigned of(std::uint8_t value) { return (value & mask) >> shift; }
    // The register byte with the field set (extra high bits of field are dropped).
    static constexpr std::uint8_t with(std::uint8_t value, unsigned field) {
        return static_cast<std::uint8_t>((value & ~mask) | ((field & maximum) << shift));
    }
    // A register byte holding the field alone.
    static constexpr std::uint8_t make(unsigned field) { return with(0, field); }
};

// A one-bit field.
template <unsigned bit> using RegisterFlag = RegisterField<bit, 1>;

} // namespace synth
