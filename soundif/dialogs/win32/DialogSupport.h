// The process-wide state of the Win32 dialogs, set up by the library entry
// (LibraryEntry.cpp) when TAVRO.DLL is loaded: the library's module handle
// (source of the dialog templates and string resources), the Win32 binding
// as the dialogs' WindowBinding, and a CBT hook for the loading thread only,
// which binds each dialog window to its pending object the moment it is
// created. A dialog run on any other thread shows without its object: no
// initialisation, no handlers. Test programs that link the dialogs without
// the library call the same two functions with their own module.
#pragma once

#include <windows.h>

// Records module and the calling thread, installs the binding and the hook.
void startDialogSupport(HINSTANCE module);
// Removes the hook if one was installed, and the binding.
void stopDialogSupport();

HINSTANCE libraryModule();
