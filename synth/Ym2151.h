#pragma once

#include <cstddef>
#include <cstdint>

namespace synth {

class Ym2151 {
public:
    explicit Ym2151(std::uint32_t clockHz);
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* leftRight, std::size_t frames);
};

} // namespace synth
