// MappedFile on POSIX: open (never waiting on a FIFO), fstat and mmap; the
// descriptor is closed as soon as the mapping exists. There is no exclusive open, so a file that
// another program has open still loads.
#include "common/MappedFile.h"

#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool MappedFile::open(const std::filesystem::path& path) {
    close();
    // Without waiting: a FIFO without a writer would block the open forever;
    // fstat then refuses whatever is not a regular file.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat status {};
    void* address = MAP_FAILED;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::uint64_t>(status.st_size) <= std::numeric_limits<std::uint32_t>::max())
        address = mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE,
                       descriptor, 0);
    ::close(descriptor);
    if (address == MAP_FAILED) return false;
    view = static_cast<const std::uint8_t*>(address);
    size = static_cast<std::uint32_t>(status.st_size);
    return true;
}

void MappedFile::close() {
    if (view != nullptr) munmap(const_cast<std::uint8_t*>(view), size);
    view = nullptr;
    size = 0;
}
