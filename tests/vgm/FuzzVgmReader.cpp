// Fuzzes the VGM reader: any bytes (plain or gzip) are either refused with a
// reason or give a file whose command stream reads to its end, loops
// included, without reading outside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vgm/VgmFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto file = vgm::VgmFile::parse(std::vector<std::uint8_t>(data, data + size), error);
    if (!file) {
        if (error.empty()) std::abort();
        return 0;
    }
    vgm::CommandReader reader = file->commands();
    std::uint64_t samples = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (vgm::VgmEvent event = reader.next(); event.kind != vgm::VgmEvent::end;
             event = reader.next()) {
            if (event.kind == vgm::VgmEvent::fault) std::abort(); // checked at parse
            if (event.kind == vgm::VgmEvent::wait) samples += event.samples;
        }
        if (!file->header().loops()) break;
        reader.seek(file->header().loopStart);
    }
    if (samples < file->streamSamples()) std::abort();
    return 0;
}
