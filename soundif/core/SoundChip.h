// CSoundChip: one chip on an interface board as the library implements it. It
// keeps a cache of the last value written to each of its 256 registers, asks
// needsWrite whether a write changes anything, and hands the writes that do
// to its owning interface, which queues them for the board. It is also the
// class for chips without a class of their own: it sends every write and its
// init writes nothing.
//
// makeSoundChip builds the right class for a chip type code.
#pragma once

#include "tavro/SoundInterface.h"

#include <cstdint>
#include <memory>
#include <vector>

class CSoundInterface;

class CSoundChip : public SoundChip {
public:
    CSoundChip(CSoundInterface* owner, const SoundChipInfo& info);

    SoundChipInfo* chipInfo() override { return &info; }
    std::int32_t chipType() override { return info.type; }
    std::int32_t setRegister(std::uint32_t address, std::uint32_t data) override;
    std::int32_t reserved3(std::int32_t) override { return -1; }
    std::int32_t init() override { return 0; }
    std::int32_t chipClock() override { return info.clock; }
    std::int32_t getRegister(std::uint32_t address) override;
    std::int32_t reserved7() override { return 1; }
    ~CSoundChip() override = default;

    // Forgets every cached value, so the next write of any value goes out.
    virtual void invalidateCache();
    // Whether a write of data to the register at index goes out.
    virtual bool needsWrite(std::uint32_t index, std::uint32_t data);

protected:
    // Whether data differs from the cached value of the register at index.
    bool changes(std::uint32_t index, std::uint32_t data) const;

private:
    static constexpr std::int32_t unset = -1;

    CSoundInterface* owner;
    SoundChipInfo info;
    std::uint32_t addressMask = 255;
    std::vector<std::int32_t> registerCache;
};

std::unique_ptr<CSoundChip> makeSoundChip(CSoundInterface* owner, const SoundChipInfo& info);
