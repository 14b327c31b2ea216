// Test support: a scratch directory, removed with everything in it on
// destruction. One source per system makes it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return root_; }
    void write(const std::string& name, const std::vector<unsigned char>& bytes) const;

private:
    std::filesystem::path root_;
};
