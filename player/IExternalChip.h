// IExternalChip: a sound chip as the player sees it. The port map writes the
// driver's register writes through it; the sound-chip client implements it on
// top of the sound-interface library, and tests implement it to record writes.
#pragma once

enum class ChipKind : int {
    Other = 0,
    Psg = 1,
    Opll = 2,
    Opm = 3,
};

class IExternalChip {
public:
    virtual ~IExternalChip() = default;

    // The kind of chip behind this handle.
    virtual ChipKind kind() = 0;

    // Called on every chip right before it is destroyed at the end of playing.
    virtual void finish() = 0;

    // Writes one register: address 0 to 255, only the low 8 bits of data
    // count. Returns the library's result, which the port map ignores.
    virtual int writeReg(int address, int data) = 0;
};
