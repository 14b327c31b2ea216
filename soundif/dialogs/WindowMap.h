// The process-wide binding state: the current WindowBinding, the map from
// window to object, the pending dialog and the three procedures a binding
// calls. Everything here is used from the one thread that runs the dialogs;
// nothing takes a lock. Who calls bindCreatedWindow depends on the binding:
// on Win32 the creation hook of the thread that loaded the library (so a
// dialog run on another thread shows without its object); the GTK binding
// calls it itself for every dialog it creates, on whichever thread runs it.
#pragma once

#include "soundif/dialogs/WindowBinding.h"

class CWndProc;
class CDlgProc;

// Binds a control to object; 1, or 0 for a null handle.
int attachWindow(CWndProc* object, WindowHandle window);
// Erases the object's map entry and clears its handle; returns the old handle.
WindowHandle detachWindow(CWndProc* object);
// The object bound to window, or null.
CWndProc* findWindowObject(WindowHandle window);

// The dialog that the next created window belongs to (set by doModal).
void setPendingDialog(CDlgProc* dialog);
CDlgProc* pendingDialog();

// Called by the binding for each dialog window it creates, before any
// message: binds the window to the pending dialog, if there is one, and
// clears the slot.
void bindCreatedWindow(WindowHandle window);

// The procedure that bound windows get: routes to the object's windowProc,
// or to the binding's default procedure when the window has no object.
MessageResult sharedWindowProc(WindowHandle window, WindowMessage message, MessageParam first,
                               MessageParam second);

// The dialog procedure: answers initDialog with the bound object's
// onInitDialog (1 with no object); reports every other message as not
// handled (0).
MessageResult dialogProcedure(WindowHandle dialog, WindowMessage message, MessageParam first,
                              MessageParam second);
