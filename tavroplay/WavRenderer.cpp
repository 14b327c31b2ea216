// Rendering to a WAV file through the software chips; see WavRenderer.h.
//
// The songs follow one another in one 48 kHz, 16-bit stereo WAV file, each
// played by the session on a MixerDestination.
#include "tavroplay/WavRenderer.h"

#include <sndfile.h>

#include <iostream>

#include "tavroplay/MixerDestination.h"
#include "tavroplay/Session.h"

namespace tavroplay {

int renderWav(const CommandLine& line, const std::atomic<bool>& stop) {
    SF_INFO format{};
    format.samplerate = synth::BoardMixer::outputRate;
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const std::string path = displayName(*line.wav);
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &format);
    if (out == nullptr) {
        std::cerr << path << ": cannot be written: " << sf_strerror(nullptr) << std::endl;
        return 1;
    }
    int code = 0;
    {
        MixerDestination destination(out, stop);
        Session session(destination, {{line.loops, line.fadeSeconds}, line.quiet, false}, stop,
                        std::cerr);
        code = session.run(line.items);
        if (destination.failed()) {
            std::cerr << path << ": cannot be written: " << sf_strerror(out) << std::endl;
            code = 1;
        }
    }
    if (sf_close(out) != 0) {
        std::cerr << path << ": cannot be written to its end" << std::endl;
        code = 1;
    }
    return code;
}

} // namespace tavroplay
