// CSoundInterface: what every interface board has — its chips in position
// order, its send delay and its SoundInterfaceInfo record — and the operations
// that need no board. writeRegister, through which the chips send their
// writes, is left to the concrete board class (CSoundInterfaceFtd2xx).
#pragma once

#include "soundif/core/SoundChip.h"
#include "tavro/SoundInterface.h"

#include <cstdint>
#include <memory>
#include <vector>

class CSoundInterface : public SoundInterface {
public:
    // Invalidates the chip caches, then destroys the chips, last first.
    ~CSoundInterface() override;

    std::int32_t reserved0() override { return 0; }
    std::int32_t reserved1(std::int32_t, std::int32_t) override { return 0; }
    std::int32_t reserved2(std::int32_t, std::int32_t) override { return 0; }
    std::int32_t setSendDelay(std::int32_t) override { return 0; }
    std::int32_t getSendDelay() override { return sendDelay; }
    std::int32_t resetInterface() override;
    std::int32_t initChips() override;
    std::int32_t chipCount() override { return static_cast<std::int32_t>(chips.size()); }
    SoundChip* chipAt(std::uint32_t index) override;

    // Queues one register write of the chip at position; 1 when queued.
    virtual std::int32_t writeRegister(std::uint32_t position, std::uint32_t address,
                                       std::uint32_t data) = 0;

    SoundInterfaceInfo* interfaceInfo() { return &info; }

protected:
    void invalidateChipCaches();
    void addChip(const SoundChipInfo& chipInfo);
    // Destroys the chips from the last to the first.
    void destroyChips();

    std::vector<std::unique_ptr<CSoundChip>> chips;
    std::int32_t sendDelay = 0;
    SoundInterfaceInfo info{};
};
