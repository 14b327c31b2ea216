// Test support: the parts of ScratchDirectory.h that are the same on every
// system; making the directory is in ScratchDirectory_<system>.cpp.
#include "ScratchDirectory.h"

#include <fstream>

ScratchDirectory::~ScratchDirectory() {
    std::error_code error;
    if (!root_.empty()) std::filesystem::remove_all(root_, error);
}

void ScratchDirectory::write(const std::string& name,
                             const std::vector<unsigned char>& bytes) const {
    std::ofstream file(root_ / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}
