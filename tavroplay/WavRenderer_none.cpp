// Rendering to a WAV file in a build without the software chips' mixer and
// sound files (Windows: Debian builds their libraries for Linux only); see
// WavRenderer.h.
#include "tavroplay/WavRenderer.h"

#include <iostream>

namespace tavroplay {

int renderWav(const CommandLine&, const std::atomic<bool>&) {
    std::cerr << "tavroplay: --wav is not available in this build (it needs the software chips' "
                 "mixer and libsndfile)"
              << std::endl;
    return 1;
}

} // namespace tavroplay
