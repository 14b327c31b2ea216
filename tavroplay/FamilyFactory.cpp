// The families of the chip types; see FamilyFactory.h.
#include "tavroplay/FamilyFactory.h"

#include "soundif/catalog/ChipModel.h"
#include "tavro/SoundInterface.h"

#include "tavroplay/AdpcmFamily.h"
#include "tavroplay/OpnFamily.h"
#include "tavroplay/SsgFamily.h"
#include "tavroplay/Ym2151Family.h"
#include "tavroplay/Ym2413Family.h"

namespace tavroplay {

std::unique_ptr<ChipFamily> makeFamily(songs::ChipType type, double ratio, RegisterSink& sink) {
    using songs::ChipType;
    switch (type) {
    case ChipType::ym2151: return std::make_unique<Ym2151Family>(ratio, sink);
    case ChipType::ym2413: return std::make_unique<Ym2413Family>(ratio, sink);
    case ChipType::ssg: return std::make_unique<SsgFamily>(ratio, sink);
    case ChipType::ym2203:
        return std::make_unique<OpnFamily>(OpnFamily::Model::ym2203, ratio, sink);
    case ChipType::ym2608:
        return std::make_unique<OpnFamily>(OpnFamily::Model::ym2608, ratio, sink);
    case ChipType::ym2612:
        return std::make_unique<OpnFamily>(OpnFamily::Model::ym2612, ratio, sink);
    case ChipType::msm6258: return std::make_unique<AdpcmFamily>(ratio, sink);
    case ChipType::sn76489:
    case ChipType::other: break;
    }
    return nullptr;
}

std::optional<SoftwareChip> softwareChip(songs::ChipType type) {
    using songs::ChipType;
    if (type != ChipType::ym2151 && type != ChipType::ym2413 && type != ChipType::ssg)
        return std::nullopt;
    const std::int32_t library = libraryChipType(type).value_or(0);
    const catalog::ChipModel* model = catalog::findChipModel(library);
    if (model == nullptr) return std::nullopt;
    return SoftwareChip{library, model->defaultClock};
}

std::optional<std::int32_t> libraryChipType(songs::ChipType type) {
    using songs::ChipType;
    switch (type) {
    case ChipType::ym2151: return tavro::chipTypeYm2151;
    case ChipType::ym2413: return tavro::chipTypeYm2413;
    case ChipType::ssg: return tavro::chipTypePsg;
    case ChipType::ym2203: return tavro::chipTypeYm2203;
    case ChipType::ym2608: return tavro::chipTypeYm2608;
    case ChipType::ym2612:
    case ChipType::sn76489:
    case ChipType::msm6258:
    case ChipType::other: break;
    }
    return std::nullopt;
}

} // namespace tavroplay
