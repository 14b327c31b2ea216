// ExternalChipSet; see ExternalChipSet.h.
#include "player/ExternalChipSet.h"

ExternalChipSet externalChipSet;

IExternalChip* ExternalChipSet::requestChip(int type, int clock) {
    IExternalChip* chip = tavro.createChip(type, clock);
    if (chip != nullptr) chips.emplace_back(chip);
    return chip;
}

void ExternalChipSet::releaseAll() {
    while (!chips.empty()) {
        std::unique_ptr<IExternalChip> chip = std::move(chips.front());
        chips.erase(chips.begin());
        chip->finish();
    }
    tavro.unbind();
}
