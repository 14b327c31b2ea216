// devicelog: see DeviceLog.h.
#include "soundif/link/DeviceLog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace devicelog {

void write(std::int32_t port, const std::string& message) {
    const char* target = std::getenv("TAVRO_LOG");
    if (target == nullptr || *target == '\0') return;
    static std::mutex lock;
    const std::lock_guard guard(lock);
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char stamp[32] = "";
    if (const std::tm* utc = std::gmtime(&seconds))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", utc);
    const bool toStandardError = std::string(target) == "-";
    std::FILE* out = toStandardError ? stderr : std::fopen(target, "a");
    if (out == nullptr) return;
    std::fprintf(out, "%s.%03dZ COM%d %s\n", stamp, static_cast<int>(milliseconds),
                 static_cast<int>(port), message.c_str());
    if (toStandardError)
        std::fflush(out);
    else
        std::fclose(out);
}

} // namespace devicelog
