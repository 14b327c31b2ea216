// loadResourceString where the library carries no string resources: the
// strings come from the string table data of DialogResources.
#include "soundif/dialogs/DialogResources.h"

std::string loadResourceString(std::uint32_t id) {
    for (const StringResource& entry : stringTable())
        if (entry.id == id) return std::string(entry.text);
    return {};
}
