// CTavroIf and CTavroIf::Chip; see TavroIf.h.
#include "player/TavroIf.h"

#include <algorithm>
#include <utility>

#include "soundif/catalog/ChipModel.h"

namespace {

// The catalog's client kinds are the player's chip kinds.
static_assert(static_cast<int>(catalog::ClientKind::other) == static_cast<int>(ChipKind::Other));
static_assert(static_cast<int>(catalog::ClientKind::psg) == static_cast<int>(ChipKind::Psg));
static_assert(static_cast<int>(catalog::ClientKind::opll) == static_cast<int>(ChipKind::Opll));
static_assert(static_cast<int>(catalog::ClientKind::opm) == static_cast<int>(ChipKind::Opm));

} // namespace

CTavroIf::Chip::~Chip() {
    const auto found = std::find(owner.chips.begin(), owner.chips.end(), this);
    if (found != owner.chips.end()) owner.chips.erase(found);
    if (owner.library.bound()) owner.library.manager()->releaseChip(soundChip);
}

ChipKind CTavroIf::Chip::kind() {
    std::int32_t type = soundChip->chipType();
    if (const SoundChipInfo* info = soundChip->chipInfo(); info != nullptr) type = info->type;
    return static_cast<ChipKind>(catalog::clientKindOf(type));
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
