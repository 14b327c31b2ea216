// CTavroIf: the player's link to the sound-interface library (libtavro.so,
// TAVRO.DLL on Windows).
// It loads the library at run time by name, takes the manager from the export
// getSoundInterfaceManager, opens and resets the boards, and hands out chips
// (CTavroIf::Chip) that write registers to the library's chips. Every call
// into the library goes through the virtual operations of the public header's
// abstract classes, that is by virtual-table slot.
//
// A library that is missing, lacks the export, gives no manager or opens no
// board leaves the client unbound, silently; each createChip tries to bind
// again from the start. Everything runs on the player's main thread.
#pragma once

#include <string>
#include <vector>

#include "client/TavroLibrary.h"
#include "player/IExternalChip.h"

class CTavroIf {
public:
    // The player's handle on one library chip. Destroying it gives the chip
    // back to the manager.
    class Chip : public IExternalChip {
    public:
        Chip(CTavroIf& owner, SoundChip* soundChip) : owner(owner), soundChip(soundChip) {}
        ~Chip() override;
        Chip(const Chip&) = delete;
        Chip& operator=(const Chip&) = delete;

        // From the type in the chip's info record when it has one, else from
        // its chip type: OPM, PSG, OPLL or any other.
        ChipKind kind() override;
        void finish() override {}
        // Passes the low 8 bits of data; returns the library's result.
        int writeReg(int address, int data) override;

    private:
        CTavroIf& owner;
        SoundChip* soundChip;
    };

    // libraryName is looked up by the platform's standard library search
    // when it has no directory.
    explicit CTavroIf(std::string libraryName = defaultLibraryName)
        : library(std::move(libraryName)) {}
    ~CTavroIf() { unbind(); }
    CTavroIf(const CTavroIf&) = delete;
    CTavroIf& operator=(const CTavroIf&) = delete;

    // True when it has just bound the library; false when it was bound
    // already or binding failed (and whatever was done is undone).
    bool bind();

    // Destroys the chips still recorded, gives everything back to the
    // library (releaseAllChips, closeInterfaces) and unloads it.
    void unbind();

    // Binds when unbound, then asks the manager for a chip of that type and
    // clock. Null when unbound or no chip is free. The caller owns the chip;
    // unbind destroys any that still exist.
    IExternalChip* createChip(int type, int clock);

    static constexpr const char* defaultLibraryName = TavroLibrary::defaultName;

private:
    TavroLibrary library;
    // The chips created that still exist, in creation order.
    std::vector<Chip*> chips;
};
