#include "synth/Ym2151.h"

#include <algorithm>

namespace synth {

Ym2151::Ym2151(std::uint32_t) {}
void Ym2151::reset() {}
void Ym2151::write(std::uint8_t, std::uint8_t) {}
void Ym2151::generate(std::int16_t* out, std::size_t frames) {
    std::fill(out, out + frames * 2, std::int16_t{0});
}

} // namespace synth
