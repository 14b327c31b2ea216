// Fuzzes the S98 reader: any bytes are either refused with a reason or give
// a song whose writes are in time order within its length, for chips it
// names, with a loop inside the song.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "songs/S98Source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto song = songs::readS98(std::span<const std::uint8_t>(data, size), error);
    if (!song) {
        if (error.empty()) std::abort();
        return 0;
    }
    std::uint64_t time = 0;
    for (const songs::SongWrite& write : song->writes) {
        if (write.time < time || write.time > song->length) std::abort();
        if (write.chip >= song->chips.size()) std::abort();
        time = write.time;
    }
    if (song->loop && (song->loop->write > song->writes.size() || song->loop->time >= song->length))
        std::abort();
    return 0;
}
