// saveFile on POSIX systems: see FileSave.h.
#include "common/FileSave.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Links are followed at most this many times, as the system itself does.
constexpr int maxLinks = 40;

// The file that path names once every symbolic link is followed; the path
// itself when it is not a link. Empty for a loop or an unreadable link.
std::filesystem::path linkTarget(std::filesystem::path path) {
    for (int followed = 0; followed <= maxLinks; ++followed) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return path;
        std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) return {};
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return {};
}

bool writeAll(int descriptor, std::string_view content, off_t offset) {
    while (!content.empty()) {
        const ssize_t written = pwrite(descriptor, content.data(), content.size(), offset);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

// Makes the directory's new entry durable; failures change nothing.
void flushDirectory(const std::filesystem::path& directory) {
    const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    fsync(descriptor);
    close(descriptor);
}

enum class Replaced { yes, no, failed };

// A new file beside target with content, target's mode and owner (when it
// exists), renamed over target. no: the new file could not be made or given
// the owner, and nothing was changed; failed: the rename failed.
Replaced replaceByRename(const std::filesystem::path& target, const struct stat* existing,
                         std::string_view content) {
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::filesystem::path temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        std::string name(1, '.');
        name.append(target.filename().string())
            .append(".new-")
            .append(std::to_string(getpid()))
            .append(1, '-')
            .append(std::to_string(attempt));
        temporary = directory / name;
        descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST) return Replaced::no;
    }
    if (descriptor < 0) return Replaced::no;
    bool ready = writeAll(descriptor, content, 0);
    if (ready && existing != nullptr) {
        ready = fchmod(descriptor, existing->st_mode & 07777) == 0;
        if (ready && (existing->st_uid != geteuid() || existing->st_gid != getegid()))
            ready = fchown(descriptor, existing->st_uid, existing->st_gid) == 0;
        // The owner change may have cleared set-id bits.
        if (ready) ready = fchmod(descriptor, existing->st_mode & 07777) == 0;
    }
    if (ready) ready = fsync(descriptor) == 0;
    if (close(descriptor) != 0) ready = false;
    if (!ready) {
        unlink(temporary.c_str());
        return Replaced::no;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return Replaced::failed;
    }
    flushDirectory(directory);
    return Replaced::yes;
}

bool writeInPlace(const std::filesystem::path& target, std::string_view content) {
    const int descriptor = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    bool done = writeAll(descriptor, content, 0) &&
                ftruncate(descriptor, static_cast<off_t>(content.size())) == 0 &&
                fsync(descriptor) == 0;
    if (close(descriptor) != 0) done = false;
    return done;
}

} // namespace

bool saveFile(const std::filesystem::path& path, std::string_view content) {
    const std::filesystem::path target = linkTarget(path);
    if (target.empty()) return false;
    struct stat existing {};
    if (stat(target.c_str(), &existing) != 0) {
        if (errno != ENOENT) return false;
        return replaceByRename(target, nullptr, content) == Replaced::yes;
    }
    if (!S_ISREG(existing.st_mode) || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    // A file with several names keeps them all only when written in place.
    if (existing.st_nlink > 1) return writeInPlace(target, content);
    switch (replaceByRename(target, &existing, content)) {
    case Replaced::yes: return true;
    case Replaced::no:
    case Replaced::failed: return writeInPlace(target, content);
    }
    return false;
}

} // namespace platform
