// The boards' chips; see BoardChips.h.
#include "tavroplay/BoardChips.h"

#include "tavroplay/ChipTypes.h"

namespace tavroplay {

namespace {

// The clock a chip has for the type, 0 when it is not of that type.
std::uint32_t clockForType(const SoundChipInfo& info, std::int32_t type) {
    if (info.type == type) return static_cast<std::uint32_t>(info.clock);
    for (int i = 0; i < 2; ++i)
        if (info.altType[i] == type) return static_cast<std::uint32_t>(info.altClock[i]);
    return 0;
}

std::string nameOf(const char (&text)[64]) {
    std::size_t length = 0;
    while (length < sizeof text && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

} // namespace

std::string BoardChips::boardOf(SoundChip* chip) {
    const auto count = static_cast<std::uint32_t>(manager_.interfaceCount());
    for (std::uint32_t i = 0; i < count; ++i) {
        SoundInterface* board = manager_.interfaceAt(i);
        const SoundInterfaceInfo* info = manager_.interfaceInfoAt(i);
        if (board == nullptr) continue;
        const auto chips = static_cast<std::uint32_t>(board->chipCount());
        for (std::uint32_t j = 0; j < chips; ++j)
            if (board->chipAt(j) == chip) return info != nullptr ? nameOf(info->name) : "";
    }
    return "";
}

std::optional<BoardChips::Found> BoardChips::acquire(std::int32_t type, std::uint32_t clock) {
    if (SoundChip* chip = manager_.acquireChip(type, static_cast<std::int32_t>(clock)))
        return Found{chip, clock, boardOf(chip)};
    const auto count = static_cast<std::uint32_t>(manager_.interfaceCount());
    for (std::uint32_t i = 0; i < count; ++i) {
        SoundInterface* board = manager_.interfaceAt(i);
        if (board == nullptr) continue;
        const auto chips = static_cast<std::uint32_t>(board->chipCount());
        for (std::uint32_t j = 0; j < chips; ++j) {
            SoundChip* candidate = board->chipAt(j);
            const SoundChipInfo* info = candidate != nullptr ? candidate->chipInfo() : nullptr;
            if (info == nullptr || info->inUse != 0) continue;
            const std::uint32_t own = clockForType(*info, type);
            if (own == 0) continue;
            if (SoundChip* chip = manager_.acquireChip(type, static_cast<std::int32_t>(own)))
                return Found{chip, own, boardOf(chip)};
        }
    }
    return std::nullopt;
}

void BoardChips::list(std::ostream& out) {
    const auto count = static_cast<std::uint32_t>(manager_.interfaceCount());
    for (std::uint32_t i = 0; i < count; ++i) {
        SoundInterface* board = manager_.interfaceAt(i);
        const SoundInterfaceInfo* boardInfo = manager_.interfaceInfoAt(i);
        if (board == nullptr || boardInfo == nullptr) continue;
        out << nameOf(boardInfo->name) << '\n';
        const auto chips = static_cast<std::uint32_t>(board->chipCount());
        for (std::uint32_t j = 0; j < chips; ++j) {
            SoundChip* chip = board->chipAt(j);
            const SoundChipInfo* info = chip != nullptr ? chip->chipInfo() : nullptr;
            if (info == nullptr) continue;
            out << "  " << info->position << ' ' << nameOf(info->name) << ": "
                << typeName(info->type) << " (type " << info->type << ") at " << info->clock
                << " Hz";
            for (int k = 0; k < 2; ++k)
                if (info->altType[k] != 0)
                    out << ", also " << typeName(info->altType[k]) << " (type " << info->altType[k]
                        << ") at " << info->altClock[k] << " Hz";
            if (info->inUse != 0) out << ", in use";
            out << '\n';
        }
    }
}

} // namespace tavroplay
