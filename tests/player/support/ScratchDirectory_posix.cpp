// Test support: a scratch directory made by mkdtemp.
#include "ScratchDirectory.h"

#include <stdlib.h>

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonrig-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
}
