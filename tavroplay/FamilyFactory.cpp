// The families of the chip types; see FamilyFactory.h.
#include "tavroplay/FamilyFactory.h"

#include "tavro/SoundInterface.h"

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
    case ChipType::sn76489:
    case ChipType::other: break;
    }
    return nullptr;
}

std::optional<SoftwareChip> softwareChip(songs::ChipType type) {
    using songs::ChipType;
    using Kind = synth::BoardMixer::ChipKind;
    constexpr std::uint32_t ym2151Clock = 4000000;
    constexpr std::uint32_t ym2413Clock = 3579545;
    constexpr std::uint32_t psgClock = 2000000;
    switch (type) {
    case ChipType::ym2151: return SoftwareChip{Kind::ym2151, ym2151Clock};
    case ChipType::ym2413: return SoftwareChip{Kind::ym2413, ym2413Clock};
    case ChipType::ssg: return SoftwareChip{Kind::ssg, psgClock};
    case ChipType::ym2203:
    case ChipType::ym2608:
    case ChipType::ym2612:
    case ChipType::sn76489:
    case ChipType::other: break;
    }
    return std::nullopt;
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
    case ChipType::other: break;
    }
    return std::nullopt;
}

} // namespace tavroplay
