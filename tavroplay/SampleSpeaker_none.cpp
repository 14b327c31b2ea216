// SampleSpeaker on a system without live sound (Windows, where Debian builds
// no sound-server client): it says so. See SampleSpeaker.h.
#include "tavroplay/SampleSpeaker.h"

namespace tavroplay {

std::unique_ptr<SampleSpeaker> SampleSpeaker::open(const std::vector<songs::SongPcm>&, double,
                                                   std::string& error) {
    error = "no live sound on this system";
    return nullptr;
}

} // namespace tavroplay
