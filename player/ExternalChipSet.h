// ExternalChipSet: the process-wide owner of the player's chips. The play
// loop requests its three chips here and borrows them; releaseAll, at the end
// of playing and on every stop, gives each back to the library in the order
// of acquisition, then unbinds the library (releaseAllChips, closeInterfaces,
// unload), so that the boards are left in reset.
#pragma once

#include <memory>
#include <vector>

#include "player/IExternalChip.h"
#include "player/TavroIf.h"

class ExternalChipSet {
public:
    ExternalChipSet() = default;
    // Releases whatever is still held.
    ~ExternalChipSet() { releaseAll(); }
    ExternalChipSet(const ExternalChipSet&) = delete;
    ExternalChipSet& operator=(const ExternalChipSet&) = delete;

    // A chip of that library type and clock, owned by the set; null when the
    // library or such a chip is not available (silently).
    IExternalChip* requestChip(int type, int clock);

    // Finishes and destroys every chip, first acquired first, then unbinds
    // the library. Requests after it bind the library anew.
    void releaseAll();

private:
    // Owned here and recorded in tavro while they exist; releaseAll empties
    // the list before tavro is unbound.
    std::vector<std::unique_ptr<IExternalChip>> chips;
    CTavroIf tavro;
};

// The player's one set.
extern ExternalChipSet externalChipSet;
