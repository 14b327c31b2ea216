// CTavroIf and CTavroIf::Chip; see TavroIf.h.
#include "player/TavroIf.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Library chip type codes and the kinds they mean to the player; every other
// code is ChipKind::Other.
constexpr std::array<std::pair<std::int32_t, ChipKind>, 3> kKindOfType{{
    {tavro::chipTypeYm2151, ChipKind::Opm},
    {tavro::chipTypePsg, ChipKind::Psg},
    {tavro::chipTypeYm2413, ChipKind::Opll},
}};

} // namespace

CTavroIf::Chip::~Chip() {
    const auto found = std::find(owner.chips.begin(), owner.chips.end(), this);
    if (found != owner.chips.end()) owner.chips.erase(found);
    if (owner.library.bound()) owner.library.manager()->releaseChip(soundChip);
}

ChipKind CTavroIf::Chip::kind() {
    std::int32_t type = soundChip->chipType();
    if (const SoundChipInfo* info = soundChip->chipInfo(); info != nullptr) type = info->type;
    for (const auto& [code, kind] : kKindOfType) {
        if (code == type) return kind;
    }
    return ChipKind::Other;
}

int CTavroIf::Chip::writeReg(int address, int data) {
    return soundChip->setRegister(static_cast<std::uint32_t>(address),
                                  static_cast<std::uint32_t>(data & 0xFF));
}

bool CTavroIf::bind() {
    return library.bind();
}

void CTavroIf::unbind() {
    if (library.bound()) {
        while (!chips.empty())
            delete chips.front();
    }
    library.unbind();
}

IExternalChip* CTavroIf::createChip(int type, int clock) {
    bind();
    if (!library.bound()) return nullptr;
    SoundChip* soundChip = library.manager()->acquireChip(type, clock);
    if (soundChip == nullptr) return nullptr;
    chips.push_back(new Chip(*this, soundChip));
    return chips.back();
}
