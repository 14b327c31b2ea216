// The converters of convert/ as the road plugs them in; see Conversion.h.
#include "tavroplay/Conversion.h"

namespace tavroplay {

const ConversionFactory& standardConversions() {
    static const ConversionFactory factory{
        [](songs::ChipType) -> std::optional<ConversionTargets> { return std::nullopt; },
        [](const songs::Song&, std::size_t,
           const ConversionOutput&) -> std::unique_ptr<Conversion> { return nullptr; }};
    return factory;
}

} // namespace tavroplay
