// The public binary interface of the sound-interface library libtavro.so.
//
// A client loads the library, calls the one export getSoundInterfaceManager
// and from then on reaches the manager, its interfaces and their chips only
// through the virtual operations declared here. The order of those operations
// is the binary interface: clients may call them by slot number through the
// object's virtual table, so no declaration below may be moved, removed or
// inserted. The two records SoundInterfaceInfo and SoundChipInfo have fixed
// layouts that clients read directly.
//
// Ownership: the manager is a static object of the library; clients never
// delete it, nor the interfaces and chips it hands out. They end their use
// with releaseAllChips and closeInterfaces before unloading the library.
//
// Destructor slots on this ABI (Itanium C++, as on Linux): each virtual
// destructor occupies two virtual-table entries (complete and deleting
// destructor). Every destructor is declared after the last operation that
// clients call, so the client-called slots keep their numbers: manager 0..25
// (destructor entries 26 and 27), interface 0..8 (destructor entries 9 and
// 10), chip 0..7 (destructor entries 8 and 9). Operations that only the
// library itself calls follow the destructor entries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavro {

// Chip type codes, also used as board ids in "SLOT_00_CHIP_ID".
enum ChipType : std::int32_t {
    chipTypeNone = 0,
    chipTypeYm2608 = 1,
    chipTypeYm2151 = 2,
    chipTypeYm2203 = 4,
    chipTypePsg = 6,
    chipTypeYm2413 = 10,
    chipTypeYmz294 = 20,
};

// Board ids in "SLOT_00_CHIP_ID" beside the chip type codes.
inline constexpr std::int32_t boardIdKx7m = 38;
inline constexpr std::int32_t boardIdTrq05 = 39;

} // namespace tavro

// Describes one open interface board. Lives inside its interface.
struct SoundInterfaceInfo {
    char name[64];          // "KX7M(COM3)", "TRQ05(COM3)" or "COM3"; NUL-terminated
    std::int32_t chipCount; // number of chips of the interface
};
static_assert(sizeof(SoundInterfaceInfo) == 68);
static_assert(offsetof(SoundInterfaceInfo, chipCount) == 64);

// Describes one chip on a board. Lives inside its chip.
struct SoundChipInfo {
    char name[64];            // "SSG", "OPM", "OPLL" or "FM"; rest zero
    std::int32_t type;        // chip type code
    std::int32_t altType[2];  // alternate type codes; 0 where there is none
    std::int32_t clock;       // clock in Hz
    std::int32_t altClock[2]; // clock going with each alternate type
    std::int32_t inUse;       // 1 while a client holds the chip
    std::int32_t position;    // place on the board, 0 to 2
    std::int32_t attribute;   // 3 for FM chips, 0 for the SSG
};
static_assert(sizeof(SoundChipInfo) == 100);
static_assert(offsetof(SoundChipInfo, type) == 64);
static_assert(offsetof(SoundChipInfo, altType) == 68);
static_assert(offsetof(SoundChipInfo, clock) == 76);
static_assert(offsetof(SoundChipInfo, altClock) == 80);
static_assert(offsetof(SoundChipInfo, inUse) == 88);
static_assert(offsetof(SoundChipInfo, position) == 92);
static_assert(offsetof(SoundChipInfo, attribute) == 96);

// One sound chip. Register writes go through a cache that drops writes which
// would not change the chip.
class SoundChip {
public:
    virtual SoundChipInfo* chipInfo() = 0;                                           // slot 0
    virtual std::int32_t chipType() = 0;                                             // slot 1
    virtual std::int32_t setRegister(std::uint32_t address, std::uint32_t data) = 0; // slot 2
    virtual std::int32_t reserved3(std::int32_t value) = 0;                          // slot 3
    virtual std::int32_t init() = 0;                                                 // slot 4
    virtual std::int32_t chipClock() = 0;                                            // slot 5
    virtual std::int32_t getRegister(std::uint32_t address) = 0;                     // slot 6
    virtual std::int32_t reserved7() = 0;                                            // slot 7
    virtual ~SoundChip() = default;                                                  // slot 8
};

// One interface board with its chips.
class SoundInterface {
public:
    virtual std::int32_t reserved0() = 0;                               // slot 0
    virtual std::int32_t reserved1(std::int32_t a, std::int32_t b) = 0; // slot 1
    virtual std::int32_t reserved2(std::int32_t a, std::int32_t b) = 0; // slot 2
    virtual std::int32_t setSendDelay(std::int32_t milliseconds) = 0;   // slot 3
    virtual std::int32_t getSendDelay() = 0;                            // slot 4
    virtual std::int32_t resetInterface() = 0;                          // slot 5
    virtual std::int32_t initChips() = 0;                               // slot 6
    virtual std::int32_t chipCount() = 0;                               // slot 7
    virtual SoundChip* chipAt(std::uint32_t index) = 0;                 // slot 8
    virtual ~SoundInterface() = default;                                // slot 9
};

// The library's single manager: opens the configured boards and hands out
// their chips by type and clock.
class SoundInterfaceManager {
public:
    virtual std::int32_t interfaceCount() = 0;                                 // slot 0
    virtual SoundInterfaceInfo* interfaceInfoAt(std::uint32_t index) = 0;      // slot 1
    virtual SoundInterface* interfaceAt(std::uint32_t index) = 0;              // slot 2
    virtual std::int32_t isValidInterface(SoundInterface* soundInterface) = 0; // slot 3
    virtual std::int32_t reserved4() = 0;                                      // slot 4
    virtual SoundChip* acquireChip(std::int32_t type, std::int32_t clock) = 0; // slot 5
    virtual std::int32_t releaseChip(SoundChip* chip) = 0;                     // slot 6
    virtual std::int32_t releaseAllChips() = 0;                                // slot 7
    virtual std::int32_t setSendDelay(std::int32_t milliseconds) = 0;          // slot 8
    virtual std::int32_t getSendDelay() = 0;                                   // slot 9
    virtual std::int32_t resetInterfaces() = 0;                                // slot 10
    virtual std::int32_t initAllChips() = 0;                                   // slot 11
    virtual std::int32_t openInterfaces() = 0;                                 // slot 12
    virtual std::int32_t closeInterfaces() = 0;                                // slot 13
    virtual std::int32_t showSettingsDialog() = 0;                             // slot 14
    virtual std::int32_t reserved15(std::int32_t* out) = 0;                    // slot 15
    virtual std::int32_t reserved16() = 0;                                     // slot 16
    virtual std::int32_t reserved17() = 0;                                     // slot 17
    virtual void reserved18(std::int32_t value) = 0;                           // slot 18
    virtual void reserved19(std::int32_t value) = 0;                           // slot 19
    virtual void reserved20() = 0;                                             // slot 20
    virtual void reserved21() = 0;                                             // slot 21
    virtual void reserved22(std::int32_t value) = 0;                           // slot 22
    virtual void reserved23(std::int32_t value) = 0;                           // slot 23
    virtual std::int32_t reserved24(std::int32_t value) = 0;                   // slot 24
    virtual std::int32_t reserved25() = 0;                                     // slot 25
    virtual ~SoundInterfaceManager() = default;                                // slot 26
};

// The library's one export. Returns the same manager on every call.
extern "C" SoundInterfaceManager* getSoundInterfaceManager();
