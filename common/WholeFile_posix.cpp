// Reading a whole file on POSIX: open with O_NONBLOCK (a FIFO without a
// writer would otherwise block the open forever), fstat on the descriptor
// opened, so that what is checked is what is read, then plain reads.
#include "common/WholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileFault faultOfErrno(int code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR: return FileFault::missing;
    case ELOOP: return FileFault::linkLoop;
    case EACCES:
    case EPERM: return FileFault::denied;
    case EISDIR: return FileFault::directory;
    default: return FileFault::unreadable;
    }
}

class Descriptor {
public:
    explicit Descriptor(int value) : value_(value) {}
    ~Descriptor() {
        if (value_ >= 0) ::close(value_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return value_; }

private:
    int value_;
};

} // namespace

FileFault readWholeFile(const std::filesystem::path& path, std::size_t limit,
                        std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return faultOfErrno(errno);
    struct stat status {};
    if (fstat(file.get(), &status) != 0) return FileFault::unreadable;
    if (S_ISDIR(status.st_mode)) return FileFault::directory;
    if (!S_ISREG(status.st_mode)) return FileFault::notRegular;
    if (static_cast<std::uint64_t>(status.st_size) > limit) return FileFault::tooLarge;
    // A regular file never blocks; back to blocking reads all the same.
    fcntl(file.get(), F_SETFL, fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    std::uint8_t buffer[65536];
    while (true) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            bytes.clear();
            return FileFault::unreadable;
        }
        if (count == 0) return FileFault::none;
        // The file may have grown since fstat.
        if (bytes.size() + static_cast<std::size_t>(count) > limit) {
            bytes.clear();
            return FileFault::tooLarge;
        }
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
}

} // namespace platform
