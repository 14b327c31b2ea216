#include "synth/Ym2413.h"

#include <algorithm>

namespace synth {

Ym2413::Ym2413(std::uint32_t) {}
void Ym2413::reset() {}
void Ym2413::write(std::uint8_t, std::uint8_t) {}
void Ym2413::generate(std::int16_t* out, std::size_t frames) {
    std::fill(out, out + frames * 1, std::int16_t{0});
}

} // namespace synth
