// MappedFile: a whole file mapped read-only into memory, for loading the
// player's driver image and data file all at once. The file is opened for
// reading only, existing files only; on Windows the open grants no sharing,
// so a file that another program holds open cannot be loaded, and the
// mapping object is named after the file's last path component. Empty files
// and directories cannot be mapped. Everything is released by the destructor.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the whole file; false (and nothing held) when it cannot be opened
    // or mapped. A file of 4 GiB or more is refused.
    bool open(const std::filesystem::path& path);
    void close();

    std::span<const std::uint8_t> bytes() const { return {view, size}; }

private:
#ifdef _WIN32
    void* file = nullptr;    // file handle
    void* mapping = nullptr; // file mapping handle
#endif
    const std::uint8_t* view = nullptr;
    std::uint32_t size = 0;
};
