// TavroLibrary; see TavroLibrary.h.
#include "client/TavroLibrary.h"

#include "common/Platform.h"

namespace {
constexpr const char* exportName = "getSoundInterfaceManager";
using ManagerExport = SoundInterfaceManager* (*)();
} // namespace

bool TavroLibrary::bind() {
    if (module_ != nullptr) return false;
    module_ = platform::loadLibrary(libraryName_);
    if (module_ == nullptr) {
        failure_ = Failure::notFound;
        return false;
    }
    const auto entry = reinterpret_cast<ManagerExport>(platform::findSymbol(module_, exportName));
    if (entry != nullptr)
        libraryPath_ = platform::modulePathOf(reinterpret_cast<const void*>(entry));
    if (entry == nullptr) {
        failure_ = Failure::noExport;
        unbind();
        return false;
    }
    manager_ = entry();
    if (manager_ == nullptr) {
        failure_ = Failure::noManager;
        unbind();
        return false;
    }
    if (manager_->openInterfaces() == 0) {
        failure_ = Failure::noBoard;
        unbind();
        return false;
    }
    failure_ = Failure::none;
    manager_->resetInterfaces();
    return true;
}

void TavroLibrary::unbind() {
    if (manager_ != nullptr) {
        manager_->releaseAllChips();
        manager_->closeInterfaces();
        manager_ = nullptr;
    }
    if (module_ != nullptr) {
        platform::freeLibrary(module_);
        module_ = nullptr;
    }
}
