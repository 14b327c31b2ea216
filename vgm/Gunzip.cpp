// gzip unpacking through zlib; see VgmFile.h.
#include "vgm/VgmFile.h"

#include <algorithm>

#include <zlib.h>

namespace vgm {

bool gunzip(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, std::string& error,
            std::size_t limit) {
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) {
        error = "cannot unpack: out of memory";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    std::uint8_t buffer[65536];
    int result = Z_OK;
    while (true) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = sizeof buffer - stream.avail_out;
        // Checked before the bytes are kept, so that memory stays near the limit.
        if (produced > limit - out.size()) {
            inflateEnd(&stream);
            out.clear();
            error = "compressed data unpacks to more than a VGM file can be";
            return false;
        }
        if (out.capacity() - out.size() < produced)
            out.reserve(std::min(limit, std::max(out.size() * 2, out.size() + produced)));
        out.insert(out.end(), buffer, buffer + produced);
        if (result == Z_STREAM_END) {
            // Another gzip member may follow; trailing zero padding is allowed.
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1F && stream.next_in[1] == 0x8B) {
                inflateReset(&stream);
                continue;
            }
            break;
        }
        if (result != Z_OK) break;
        if (stream.avail_in == 0 && stream.avail_out != 0) {
            result = Z_BUF_ERROR;
            break;
        }
    }
    const bool ended = result == Z_STREAM_END;
    const std::string message = stream.msg != nullptr ? stream.msg : "";
    inflateEnd(&stream);
    if (!ended) {
        error = result == Z_BUF_ERROR ? "bad gzip stream: truncated"
                                      : "bad gzip stream" + (message.empty() ? "" : ": " + message);
        return false;
    }
    return true;
}

} // namespace vgm
