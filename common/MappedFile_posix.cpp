// MappedFile on POSIX: open, fstat and mmap. There is no exclusive open, so a
// file that another program has open still loads.
#include "common/MappedFile.h"

#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int descriptorOf(void* file) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(file)) - 1;
}
void* fileOf(int descriptor) {
    return reinterpret_cast<void*>(std::intptr_t{descriptor} + 1);
}
} // namespace

bool MappedFile::open(const std::filesystem::path& path) {
    close();
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    file = fileOf(descriptor);
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0 ||
        static_cast<std::uint64_t>(status.st_size) > std::numeric_limits<std::uint32_t>::max()) {
        close();
        return false;
    }
    void* address = mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE,
                         descriptor, 0);
    if (address == MAP_FAILED) {
        close();
        return false;
    }
    view = static_cast<const std::uint8_t*>(address);
    size = static_cast<std::uint32_t>(status.st_size);
    return true;
}

void MappedFile::close() {
    if (view != nullptr) munmap(const_cast<std::uint8_t*>(view), size);
    if (file != nullptr) ::close(descriptorOf(file));
    file = nullptr;
    view = nullptr;
    size = 0;
}
