#pragma once

#include <cstddef>
#include <cstdint>

namespace synth {

class Ssg {
public:
    explicit Ssg(std::uint32_t clockHz);
    void reset();
    void write(std::uint8_t address, std::uint8_t data);
    void generate(std::int16_t* mono, std::size_t frames);
    void levels(std::uint8_t out[3]) const;
};

} // namespace synth
