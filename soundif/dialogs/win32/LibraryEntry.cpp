// TAVRO.DLL's entry: at process attach it records the library's module and
// sets up the dialogs for the attaching thread (DialogSupport.h); at process
// detach it removes the hook. Thread attach and detach do nothing; the entry
// always reports success. The C++ runtime constructs the library's static
// objects (the manager) before this runs and destroys them after it.
#include "soundif/dialogs/win32/DialogSupport.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) startDialogSupport(module);
    if (reason == DLL_PROCESS_DETACH) stopDialogSupport();
    return TRUE;
}
