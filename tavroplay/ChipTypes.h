// The names of the library's chip types for listings, from the board and chip
// catalog.
#pragma once

#include <cstdint>
#include <string_view>

#include "soundif/catalog/ChipModel.h"

namespace tavroplay {

// Name of a library chip type code for listings; the PSG type is the
// catalog's AY-3-8910 model, named after the kind.
constexpr std::string_view typeName(std::int32_t type) {
    if (type == tavro::chipTypePsg) return "PSG";
    const catalog::ChipModel* model = catalog::findChipModel(type);
    return model != nullptr ? model->name : "chip";
}

} // namespace tavroplay
