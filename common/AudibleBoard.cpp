// Whether the boards are the audible virtual board; see AudibleBoard.h.
#include "common/AudibleBoard.h"

#include <cstdlib>

namespace platform {

namespace {
bool named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}
} // namespace

bool boardsHeardThroughTheSpeakers() {
    return named("TAVRO_D2XX_MODULE") && named("TAVRO_VB_AUDIO");
}

} // namespace platform
