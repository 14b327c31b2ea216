// Test support: a scratch directory under a random name, made by the first
// attempt whose name is free.
#include "ScratchDirectory.h"

#include <random>
#include <string>

ScratchDirectory::ScratchDirectory() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("tonrig-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) root_ = candidate;
    }
}
