// The texts of file faults; see WholeFile.h.
#include "common/WholeFile.h"

namespace platform {

const char* fileFaultText(FileFault fault) {
    switch (fault) {
    case FileFault::none: return "";
    case FileFault::missing: return "no such file";
    case FileFault::linkLoop: return "its symbolic links point at one another (a loop)";
    case FileFault::denied: return "no permission to read it";
    case FileFault::directory: return "is a directory";
    case FileFault::notRegular: return "not a regular file";
    case FileFault::tooLarge: return "too large";
    case FileFault::unreadable: return "cannot be read";
    }
    return "cannot be read";
}

} // namespace platform
