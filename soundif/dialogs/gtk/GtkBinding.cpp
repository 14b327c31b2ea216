// GTK 3 binding of the dialog classes: builds the templates, routes signals
// as command messages through each window's procedure, and runs dialogs
// modally in nested main loops.
#include "soundif/dialogs/gtk/GtkBinding.h"

#include "soundif/dialogs/MnemonicText.h"
#include "soundif/dialogs/WindowMap.h"

#include <cmath>

namespace {
GtkBinding* instance = nullptr;

// Line breaks of the string table are CR LF; GTK wants LF.
std::string gtkLines(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

GtkWidget* widgetOf(WindowHandle window) {
    return static_cast<GtkWidget*>(window);
}

bool takesFocus(ControlKind kind) {
    return kind != ControlKind::staticText && kind != ControlKind::groupBox;
}

// A drop-down list without an entry (or a part of one), which would open its
// list on Enter.
bool isDropDownList(GtkWidget* widget) {
    GtkWidget* combo =
        widget != nullptr ? gtk_widget_get_ancestor(widget, GTK_TYPE_COMBO_BOX) : nullptr;
    return combo != nullptr && !gtk_combo_box_get_has_entry(GTK_COMBO_BOX(combo));
}
} // namespace

// The dialog manager's rule: a horizontal dialog unit is a quarter of the
// font's average character width (the width of the 52 letters A to Z and a to
// z, over 52), a vertical one an eighth of its line height. The average width
// keeps its fraction, where the dialog manager rounds it to whole pixels.
GtkBinding::DialogUnits GtkBinding::DialogUnits::of(GtkWidget* dialog) {
    PangoLayout* layout = gtk_widget_create_pango_layout(
        dialog, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int width = 0;
    int height = 0;
    pango_layout_get_size(layout, &width, &height);
    g_object_unref(layout);
    return {static_cast<double>(width) / PANGO_SCALE / 52.0 / 4.0,
            static_cast<double>(height) / PANGO_SCALE / 8.0};
}

int GtkBinding::DialogUnits::x(int units) const {
    return static_cast<int>(std::lround(units * pixelsPerX));
}

int GtkBinding::DialogUnits::y(int units) const {
    return static_cast<int>(std::lround(units * pixelsPerY));
}

GtkBinding::GtkBinding() {
    instance = this;
}

GtkBinding::~GtkBinding() {
    while (!windows_.empty())
        destroyWindow(windows_.begin()->first);
    instance = nullptr;
}

GtkBinding::Window* GtkBinding::find(WindowHandle window) {
    auto entry = windows_.find(window);
    return entry == windows_.end() ? nullptr : &entry->second;
}

void GtkBinding::track(GtkWidget* widget, GtkWidget* dialog, int id, ControlKind kind) {
    windows_[widget] = Window{procedureRef(bindingProcedure), dialog, id, kind, {}};
    g_signal_connect(widget, "destroy", G_CALLBACK(onDestroy), this);
}

GtkWidget* GtkBinding::createControl(GtkWidget* dialog, const ControlTemplate& control,
                                     const DialogUnits& units) {
    GtkWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::staticText:
        widget = gtk_label_new_with_mnemonic(underscoreMnemonics(control.text).c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0.0F);
        break;
    case ControlKind::groupBox:
        widget = gtk_frame_new(withoutMnemonics(control.text).c_str());
        break;
    case ControlKind::dropDownList:
        widget = gtk_combo_box_text_new();
        g_signal_connect(widget, "changed", G_CALLBACK(onChanged), this);
        break;
    case ControlKind::dropDownCombo: {
        widget = gtk_combo_box_text_new_with_entry();
        GtkWidget* entry = gtk_bin_get_child(GTK_BIN(widget));
        gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
        gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
        g_signal_connect(widget, "changed", G_CALLBACK(onChanged), this);
        break;
    }
    case ControlKind::pushButton:
    case ControlKind::defaultPushButton:
        widget = gtk_button_new_with_mnemonic(underscoreMnemonics(control.text).c_str());
        g_signal_connect(widget, "clicked", G_CALLBACK(onClicked), this);
        break;
    }
    // Combo boxes keep their natural height: the template's height is that
    // of the open list. Texts keep theirs so that they line up with them.
    bool fixedHeight = control.kind == ControlKind::groupBox ||
                       control.kind == ControlKind::pushButton ||
                       control.kind == ControlKind::defaultPushButton;
    gtk_widget_set_size_request(widget, units.x(control.width),
                                fixedHeight ? units.y(control.height) : -1);
    track(widget, dialog, control.id, control.kind);
    return widget;
}

MessageResult GtkBinding::runModalDialog(int templateId, WindowHandle owner) {
    const DialogTemplate* layout = findDialogTemplate(templateId);
    if (layout == nullptr) return -1;

    GtkWidget* dialog = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(dialog), std::string(layout->caption).c_str());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(dialog), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (owner != nullptr) {
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(widgetOf(owner)));
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    } else {
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    }
    const DialogUnits units = DialogUnits::of(dialog);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, units.x(layout->width), units.y(layout->height));
    gtk_container_add(GTK_CONTAINER(dialog), fixed);
    track(dialog, dialog, 0, ControlKind::staticText);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(dialog, "key-press-event", G_CALLBACK(onKeyPress), this);

    GtkWidget* mnemonicLabel = nullptr;
    for (const ControlTemplate& control : layout->controls) {
        GtkWidget* widget = createControl(dialog, control, units);
        gtk_fixed_put(GTK_FIXED(fixed), widget, units.x(control.x), units.y(control.y));
        if (control.kind == ControlKind::defaultPushButton) {
            gtk_widget_set_can_default(widget, TRUE);
            gtk_window_set_default(GTK_WINDOW(dialog), widget);
        }
        // A text's mnemonic moves the focus to the next control that takes it.
        if (control.kind == ControlKind::staticText) {
            mnemonicLabel = widget;
        } else if (mnemonicLabel != nullptr && takesFocus(control.kind)) {
            gtk_label_set_mnemonic_widget(GTK_LABEL(mnemonicLabel), widget);
            mnemonicLabel = nullptr;
        }
    }

    bindCreatedWindow(dialog);
    dialogProcedure(dialog, WindowMessage::initDialog, 0, 0);
    Window* state = find(dialog);
    if (state != nullptr && !state->ended) {
        gtk_widget_show_all(dialog);
        state->loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(state->loop);
        state = find(dialog);
    }
    MessageResult result = state != nullptr ? state->result : 0;
    if (state != nullptr && state->loop != nullptr) g_main_loop_unref(state->loop);
    if (state != nullptr) state->loop = nullptr;
    destroyWindow(dialog);
    return result;
}

void GtkBinding::endDialog(WindowHandle dialog, MessageResult result) {
    Window* state = find(dialog);
    if (state == nullptr || state->ended) return;
    state->ended = true;
    state->result = result;
    if (state->loop != nullptr) g_main_loop_quit(state->loop);
}

bool GtkBinding::destroyWindow(WindowHandle window) {
    if (find(window) == nullptr) return false;
    gtk_widget_destroy(widgetOf(window));
    return true;
}

WindowHandle GtkBinding::dialogItem(WindowHandle dialog, int id) {
    for (auto& [widget, state] : windows_)
        if (state.dialog == dialog && widget != dialog && state.id == id) return widget;
    return nullptr;
}

ProcedureRef GtkBinding::windowProcedure(WindowHandle window) {
    Window* state = find(window);
    return state != nullptr ? state->procedure : ProcedureRef::none;
}

void GtkBinding::setWindowProcedure(WindowHandle window, ProcedureRef procedure) {
    if (Window* state = find(window)) state->procedure = procedure;
}

ProcedureRef GtkBinding::sharedProcedure() {
    return procedureRef(sharedWindowProc);
}

MessageResult GtkBinding::callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                              WindowMessage message, MessageParam first,
                                              MessageParam second) {
    return windowProcedureOf(procedure)(window, message, first, second);
}

void GtkBinding::send(WindowHandle window, WindowMessage message, MessageParam first,
                      MessageParam second) {
    ProcedureRef procedure = windowProcedure(window);
    if (procedure != ProcedureRef::none)
        callWindowProcedure(procedure, window, message, first, second);
}

MessageResult GtkBinding::bindingProcedure(WindowHandle window, WindowMessage message,
                                           MessageParam first, MessageParam second) {
    return instance->defaultWindowProc(window, message, first, second);
}

MessageResult GtkBinding::defaultWindowProc(WindowHandle window, WindowMessage message,
                                            MessageParam first, MessageParam) {
    // A dialog without an object still closes on its cancel command.
    Window* state = find(window);
    if (state != nullptr && state->dialog == window && message == WindowMessage::command &&
        (first & 0xFFFFu) == idCancel)
        endDialog(window, idCancel);
    return 0;
}

int GtkBinding::comboAddString(WindowHandle combo, const std::string& text) {
    Window* state = find(combo);
    if (state == nullptr || !GTK_IS_COMBO_BOX_TEXT(widgetOf(combo))) return -1;
    ++quiet_;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widgetOf(combo)), text.c_str());
    --quiet_;
    state->itemData.push_back(0);
    return static_cast<int>(state->itemData.size()) - 1;
}

bool GtkBinding::comboSetItemData(WindowHandle combo, int index, std::intptr_t data) {
    Window* state = find(combo);
    if (state == nullptr || index < 0 || index >= static_cast<int>(state->itemData.size()))
        return false;
    state->itemData[static_cast<std::size_t>(index)] = data;
    return true;
}

std::intptr_t GtkBinding::comboItemData(WindowHandle combo, int index) {
    Window* state = find(combo);
    if (state == nullptr || index < 0 || index >= static_cast<int>(state->itemData.size()))
        return -1;
    return state->itemData[static_cast<std::size_t>(index)];
}

int GtkBinding::comboCount(WindowHandle combo) {
    Window* state = find(combo);
    return state != nullptr ? static_cast<int>(state->itemData.size()) : 0;
}

int GtkBinding::comboSelection(WindowHandle combo) {
    if (find(combo) == nullptr || !GTK_IS_COMBO_BOX(widgetOf(combo))) return -1;
    return gtk_combo_box_get_active(GTK_COMBO_BOX(widgetOf(combo)));
}

void GtkBinding::comboSelect(WindowHandle combo, int index) {
    if (find(combo) == nullptr || !GTK_IS_COMBO_BOX(widgetOf(combo))) return;
    ++quiet_;
    gtk_combo_box_set_active(GTK_COMBO_BOX(widgetOf(combo)), index);
    --quiet_;
}

std::string GtkBinding::windowText(WindowHandle window) {
    Window* state = find(window);
    if (state == nullptr) return {};
    GtkWidget* widget = widgetOf(window);
    switch (state->kind) {
    case ControlKind::dropDownCombo:
        return gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(widget))));
    case ControlKind::dropDownList: {
        gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget));
        std::string result = text != nullptr ? text : "";
        g_free(text);
        return result;
    }
    case ControlKind::staticText:
        if (GTK_IS_WINDOW(widget)) return gtk_window_get_title(GTK_WINDOW(widget));
        return gtk_label_get_text(GTK_LABEL(widget));
    case ControlKind::groupBox: return gtk_frame_get_label(GTK_FRAME(widget));
    case ControlKind::pushButton:
    case ControlKind::defaultPushButton: return gtk_button_get_label(GTK_BUTTON(widget));
    }
    return {};
}

void GtkBinding::setWindowText(WindowHandle window, const std::string& text) {
    Window* state = find(window);
    if (state == nullptr) return;
    GtkWidget* widget = widgetOf(window);
    ++quiet_;
    switch (state->kind) {
    case ControlKind::dropDownCombo:
        gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(widget))), text.c_str());
        break;
    case ControlKind::dropDownList: break; // shows its selected entry only
    case ControlKind::staticText:
        if (GTK_IS_WINDOW(widget))
            gtk_window_set_title(GTK_WINDOW(widget), text.c_str());
        else
            gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        break;
    case ControlKind::groupBox: gtk_frame_set_label(GTK_FRAME(widget), text.c_str()); break;
    case ControlKind::pushButton:
    case ControlKind::defaultPushButton:
        gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
        break;
    }
    --quiet_;
}

void GtkBinding::enableWindow(WindowHandle window, bool enable) {
    if (find(window) != nullptr) gtk_widget_set_sensitive(widgetOf(window), enable);
}

void GtkBinding::messageBox(WindowHandle owner, const std::string& text,
                            const std::string& caption) {
    GtkWindow* parent = find(owner) != nullptr ? GTK_WINDOW(widgetOf(owner)) : nullptr;
    GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_OK, "%s", gtkLines(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    if (parent == nullptr || !gtk_widget_get_visible(GTK_WIDGET(parent)))
        gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

void GtkBinding::sendCommand(GtkWidget* control, std::uint32_t notification) {
    Window* state = find(control);
    if (quiet_ > 0 || state == nullptr) return;
    send(state->dialog, WindowMessage::command,
         commandWord(static_cast<std::uint32_t>(state->id), notification),
         reinterpret_cast<MessageParam>(control));
}

void GtkBinding::onClicked(GtkButton* button, gpointer self) {
    static_cast<GtkBinding*>(self)->sendCommand(GTK_WIDGET(button), notifyClicked);
}

void GtkBinding::onChanged(GtkComboBox* combo, gpointer self) {
    bool picked = gtk_combo_box_get_active(combo) >= 0;
    static_cast<GtkBinding*>(self)->sendCommand(GTK_WIDGET(combo),
                                                picked ? notifySelChange : notifyEditChange);
}

gboolean GtkBinding::onDelete(GtkWidget* dialog, GdkEvent*, gpointer self) {
    static_cast<GtkBinding*>(self)->send(dialog, WindowMessage::command,
                                         commandWord(idCancel, notifyClicked), 0);
    return TRUE;
}

gboolean GtkBinding::onKeyPress(GtkWidget* dialog, GdkEventKey* event, gpointer self) {
    switch (event->keyval) {
    case GDK_KEY_Escape: onDelete(dialog, nullptr, self); return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        // As in the classic dialogs, Enter in a closed list presses the
        // default button; the list opens with Alt+Down or a click.
        // (The list's own button would take the default action itself.)
        if (!isDropDownList(gtk_window_get_focus(GTK_WINDOW(dialog)))) return FALSE;
        if (GtkWidget* button = gtk_window_get_default_widget(GTK_WINDOW(dialog));
            button != nullptr && gtk_widget_is_sensitive(button))
            gtk_widget_activate(button);
        return TRUE;
    default: return FALSE;
    }
}

void GtkBinding::onDestroy(GtkWidget* widget, gpointer self) {
    auto* binding = static_cast<GtkBinding*>(self);
    binding->send(widget, WindowMessage::ncDestroy, 0, 0);
    binding->windows_.erase(widget);
}
