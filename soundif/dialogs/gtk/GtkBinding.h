// GtkBinding: the WindowBinding on GTK 3. Dialog templates become GTK
// windows with a fixed layout in the desktop's font, whose dialog units are
// sized from that font as the classic dialog manager sizes them, so that the
// layout grows with the text scaling; '&' mnemonics become GTK mnemonics, and
// the widgets' signals become command messages to the dialog: a button's
// click, a combo box's change, the window's close box and the Escape key
// (cancel). Enter presses the default button, also from a drop-down list.
// Changes made from code send nothing, as with the classic controls. Modal
// runs nest a main loop; an owned dialog stays above its owner, which it
// blocks.
#pragma once

#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/WindowBinding.h"

#include <gtk/gtk.h>

#include <map>
#include <vector>

class GtkBinding final : public WindowBinding {
public:
    GtkBinding();
    ~GtkBinding() override;

    MessageResult runModalDialog(int templateId, WindowHandle owner) override;
    void endDialog(WindowHandle dialog, MessageResult result) override;
    bool destroyWindow(WindowHandle window) override;
    WindowHandle dialogItem(WindowHandle dialog, int id) override;

    ProcedureRef windowProcedure(WindowHandle window) override;
    void setWindowProcedure(WindowHandle window, ProcedureRef procedure) override;
    ProcedureRef sharedProcedure() override;
    MessageResult callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                      WindowMessage message, MessageParam first,
                                      MessageParam second) override;
    MessageResult defaultWindowProc(WindowHandle window, WindowMessage message, MessageParam first,
                                    MessageParam second) override;

    int comboAddString(WindowHandle combo, const std::string& text) override;
    bool comboSetItemData(WindowHandle combo, int index, std::intptr_t data) override;
    std::intptr_t comboItemData(WindowHandle combo, int index) override;
    int comboCount(WindowHandle combo) override;
    int comboSelection(WindowHandle combo) override;
    void comboSelect(WindowHandle combo, int index) override;

    std::string windowText(WindowHandle window) override;
    void setWindowText(WindowHandle window, const std::string& text) override;
    void enableWindow(WindowHandle window, bool enable) override;
    void messageBox(WindowHandle owner, const std::string& text,
                    const std::string& caption) override;

private:
    struct Window {
        ProcedureRef procedure;
        GtkWidget* dialog; // the dialog itself for a dialog window
        int id;
        ControlKind kind;
        std::vector<std::intptr_t> itemData; // combo boxes
        // Dialogs only.
        GMainLoop* loop = nullptr;
        bool ended = false;
        MessageResult result = 0;
    };

    // Pixels per dialog unit in a dialog's font.
    struct DialogUnits {
        double pixelsPerX;
        double pixelsPerY;
        static DialogUnits of(GtkWidget* dialog);
        int x(int units) const;
        int y(int units) const;
    };

    Window* find(WindowHandle window);
    GtkWidget* createControl(GtkWidget* dialog, const ControlTemplate& control,
                             const DialogUnits& units);
    void track(GtkWidget* widget, GtkWidget* dialog, int id, ControlKind kind);
    void sendCommand(GtkWidget* control, std::uint32_t notification);
    // Delivers a message to the window's current procedure, if it has one.
    void send(WindowHandle window, WindowMessage message, MessageParam first, MessageParam second);

    static MessageResult bindingProcedure(WindowHandle window, WindowMessage message,
                                          MessageParam first, MessageParam second);
    static void onClicked(GtkButton* button, gpointer self);
    static void onChanged(GtkComboBox* combo, gpointer self);
    static gboolean onDelete(GtkWidget* dialog, GdkEvent* event, gpointer self);
    static gboolean onKeyPress(GtkWidget* dialog, GdkEventKey* event, gpointer self);
    static void onDestroy(GtkWidget* widget, gpointer self);

    std::map<WindowHandle, Window> windows_;
    int quiet_ = 0; // > 0 while code changes a control: no notifications
};
