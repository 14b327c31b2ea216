// Rendering to a WAV file; see WavRenderer.h.
#include "tavroplay/WavRenderer.h"

#include <iostream>

namespace tavroplay {

int renderWav(const CommandLine&) {
    std::cerr << "tavroplay: --wav is not available in this build" << std::endl;
    return 1;
}

} // namespace tavroplay
