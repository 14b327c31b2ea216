// TavroLibrary: a client's binding of the sound-interface library
// (libtavro.so, TAVRO.DLL on Windows), shared by the players. It loads the
// library at run time by name, takes the manager from the export
// getSoundInterfaceManager, opens and resets the boards; unbind gives
// everything back (releaseAllChips, closeInterfaces) and unloads it. From then
// on a client reaches the manager, its interfaces and their chips through the
// virtual operations of the public header, that is by virtual-table slot.
//
// A library that is missing, lacks the export, gives no manager or opens no
// board leaves the binding unbound; failure() tells which. Not thread-safe:
// one thread binds, uses and unbinds.
#pragma once

#include <filesystem>
#include <string>

#include "tavro/SoundInterface.h"

class TavroLibrary {
public:
    enum class Failure { none, notFound, noExport, noManager, noBoard };

    explicit TavroLibrary(std::string libraryName = defaultName)
        : libraryName_(std::move(libraryName)) {}
    ~TavroLibrary() { unbind(); }
    TavroLibrary(const TavroLibrary&) = delete;
    TavroLibrary& operator=(const TavroLibrary&) = delete;

    // True when it has just bound the library; false when it was bound
    // already or binding failed (and whatever was done is undone).
    bool bind();

    // releaseAllChips and closeInterfaces when bound, then unloads the
    // library. The chips handed out are invalid afterwards.
    void unbind();

    // Null while unbound.
    SoundInterfaceManager* manager() const { return manager_; }
    bool bound() const { return manager_ != nullptr; }
    // Why the last bind failed.
    Failure failure() const { return failure_; }
    const std::string& libraryName() const { return libraryName_; }
    // The file of the library as loaded (empty when it never was): where its
    // INI file is looked for.
    const std::filesystem::path& libraryPath() const { return libraryPath_; }

#ifdef _WIN32
    static constexpr const char* defaultName = "TAVRO.DLL";
#else
    static constexpr const char* defaultName = "libtavro.so";
#endif

private:
    std::string libraryName_;
    std::filesystem::path libraryPath_;
    void* module_ = nullptr;
    SoundInterfaceManager* manager_ = nullptr;
    Failure failure_ = Failure::none;
};
