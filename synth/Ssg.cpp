#include "synth/Ssg.h"

#include <algorithm>

namespace synth {

Ssg::Ssg(std::uint32_t) {}
void Ssg::reset() {}
void Ssg::write(std::uint8_t, std::uint8_t) {}
void Ssg::generate(std::int16_t* out, std::size_t frames) {
    std::fill(out, out + frames * 1, std::int16_t{0});
}
void Ssg::levels(std::uint8_t out[3]) const { std::fill(out, out + 3, std::uint8_t{0}); }

} // namespace synth
