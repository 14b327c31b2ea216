// The two dialogs on the GTK binding, on a virtual X server of the test's
// own: at 100 %, 125 % and 150 % text scaling (the desktop's font
// resolution) no control covers another and the clock box shows its whole
// number; the texts show without their mnemonic marks; Enter in a focused
// drop-down list presses the default button instead of opening the list.
#include "../FakeDevices.h"

#include "soundif/dialogs/ConfigDlg.h"
#include "soundif/dialogs/Kx7mSetupDlg.h"
#include "soundif/dialogs/WindowMap.h"
#include "soundif/dialogs/gtk/GtkBinding.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A private X server for the whole test program, so that the font
// resolution is the test's and no desktop is needed.
class VirtualDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        server_ = fork();
        ASSERT_GE(server_, 0);
        if (server_ == 0) {
            close(ends[0]);
            const std::string fd = std::to_string(ends[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", "-dpi", "96", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        std::string number;
        char c = 0;
        while (read(ends[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ends[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("GDK_BACKEND", "x11", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("GDK_DPI_SCALE");
        unsetenv("GDK_SCALE");
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    }
    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

private:
    pid_t server_ = -1;
};
[[maybe_unused]] auto* const display = ::testing::AddGlobalTestEnvironment(new VirtualDisplay);

GtkWindow* shownWindow(const char* title) {
    GList* windows = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* at = windows; at != nullptr; at = at->next) {
        GtkWindow* window = GTK_WINDOW(at->data);
        const char* text = gtk_window_get_title(window);
        if (text != nullptr && std::string(text) == title &&
            gtk_widget_get_mapped(GTK_WIDGET(window)))
            found = window;
    }
    g_list_free(windows);
    return found;
}

std::vector<GtkWidget*> controlsOf(GtkWindow* dialog) {
    std::vector<GtkWidget*> controls;
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(dialog))));
    for (GList* at = children; at != nullptr; at = at->next)
        controls.push_back(GTK_WIDGET(at->data));
    g_list_free(children);
    return controls;
}

// The text a control shows; empty for lists.
std::string shownText(GtkWidget* control) {
    if (GTK_IS_LABEL(control)) return gtk_label_get_text(GTK_LABEL(control));
    if (GTK_IS_FRAME(control)) return gtk_frame_get_label(GTK_FRAME(control));
    if (GTK_IS_BUTTON(control))
        return gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(control))));
    return {};
}

std::string describe(GtkWidget* control) {
    const std::string text = shownText(control);
    return std::string(G_OBJECT_TYPE_NAME(control)) + (text.empty() ? "" : " \"" + text + "\"");
}

void pressKey(GtkWindow* window, guint key) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = key;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// Runs the dialog modally; once its window titled title is shown and laid
// out, calls act with it. A dialog still open two seconds later is ended with
// result -99.
intptr_t runShown(CDlgProc& dialog, const char* title, std::function<void(GtkWindow*)> act) {
    struct Watch {
        const char* title;
        std::function<void(GtkWindow*)> act;
        bool acted = false;
        int ticks = 0;
    } watch{title, std::move(act)};
    const guint timer = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto* watch = static_cast<Watch*>(data);
            GtkWindow* window = shownWindow(watch->title);
            ++watch->ticks;
            if (window != nullptr && !watch->acted && watch->ticks > 5) {
                watch->acted = true;
                watch->act(window);
            } else if (watch->ticks > 100) {
                if (window != nullptr) windowBinding().endDialog(GTK_WIDGET(window), -99);
                return G_SOURCE_REMOVE;
            }
            return G_SOURCE_CONTINUE;
        },
        &watch);
    const intptr_t result = dialog.doModal();
    if (watch.ticks <= 100) g_source_remove(timer);
    EXPECT_TRUE(watch.acted) << title << " was not shown";
    return result;
}

void endWith(GtkWindow* window, intptr_t result) {
    windowBinding().endDialog(GTK_WIDGET(window), result);
}

class GtkDialogs : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override {
        g_object_set(gtk_settings_get_default(), "gtk-xft-dpi",
                     static_cast<gint>(96 * 1024 * GetParam()), nullptr);
        installWindowBinding(&binding);
    }
    void TearDown() override { installWindowBinding(nullptr); }

    // No control covers another (a group box holds its controls), and an
    // editable box's text fits its box.
    static void expectNothingCutOff(GtkWindow* dialog) {
        std::vector<std::pair<GtkWidget*, GdkRectangle>> placed;
        for (GtkWidget* control : controlsOf(dialog)) {
            if (GTK_IS_FRAME(control)) continue;
            GdkRectangle area;
            gtk_widget_get_allocation(control, &area);
            for (const auto& [other, otherArea] : placed)
                EXPECT_FALSE(gdk_rectangle_intersect(&area, &otherArea, nullptr))
                    << describe(control) << " covers " << describe(other);
            placed.emplace_back(control, area);
            if (GTK_IS_COMBO_BOX(control) && gtk_combo_box_get_has_entry(GTK_COMBO_BOX(control))) {
                GtkEntry* entry = GTK_ENTRY(gtk_bin_get_child(GTK_BIN(control)));
                int textWidth = 0;
                pango_layout_get_pixel_size(gtk_entry_get_layout(entry), &textWidth, nullptr);
                GdkRectangle textArea;
                gtk_entry_get_text_area(entry, &textArea);
                EXPECT_LE(textWidth, textArea.width)
                    << "\"" << gtk_entry_get_text(entry) << "\" is cut off";
            }
        }
        int labels = 0;
        for (GtkWidget* control : controlsOf(dialog))
            if (GTK_IS_LABEL(control)) {
                ++labels;
                int natural = 0;
                gtk_widget_get_preferred_width(control, nullptr, &natural);
                EXPECT_GE(gtk_widget_get_allocated_width(control), natural) << describe(control);
            }
        EXPECT_GT(labels, 0);
    }
    static std::multiset<std::string> textsOf(GtkWindow* dialog) {
        std::multiset<std::string> texts;
        for (GtkWidget* control : controlsOf(dialog))
            if (const std::string text = shownText(control); !text.empty()) texts.insert(text);
        return texts;
    }

    GtkBinding binding;
    std::filesystem::path ini = std::filesystem::temp_directory_path() / "tavro-gtk-unused.ini";
};

TEST_P(GtkDialogs, TheSettingsDialogShowsEveryTextWhole) {
    CConfigDlg dialog(ini, fakeDevices({{3}, {12}}));
    runShown(dialog, "tavro setup", [](GtkWindow* window) {
        expectNothingCutOff(window);
        EXPECT_EQ(textsOf(window), (std::multiset<std::string>{"Interface:", "Setup", "Close"}));
        endWith(window, 2);
    });
}

TEST_P(GtkDialogs, TheBoardSetupDialogShowsEveryTextAndTheClockWhole) {
    BoardSettings settings;
    settings.speed = 3000000;
    settings.slotChipId = 39;
    settings.slotChipClock = 3579545;
    CKx7mSetupDlg dialog(settings, nullptr);
    runShown(dialog, "KX7M Setup", [](GtkWindow* window) {
        expectNothingCutOff(window);
        EXPECT_EQ(textsOf(window),
                  (std::multiset<std::string>{"Interface", "Speed:", "bps", "Sound chip setting",
                                              "ChipType", "SLOT01", "Hz", "OK", "Cancel"}));
        endWith(window, 2);
    });
}

INSTANTIATE_TEST_SUITE_P(TextScaling, GtkDialogs, ::testing::Values(1.0, 1.25, 1.5),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return "Percent" + std::to_string(static_cast<int>(info.param * 100));
                         });

// Enter with the focus on a list presses the default button: "&Close" in the
// settings dialog, "&OK" in the board setup dialog (which then stores what
// the lists show).
TEST(GtkDialogKeys, EnterInAFocusedListPressesTheDefaultButton) {
    GtkBinding binding;
    installWindowBinding(&binding);
    const auto enterInList = [](int listId) {
        return [listId](GtkWindow* window) {
            GtkWidget* list =
                static_cast<GtkWidget*>(windowBinding().dialogItem(GTK_WIDGET(window), listId));
            ASSERT_NE(list, nullptr);
            gtk_widget_grab_focus(list);
            pressKey(window, GDK_KEY_Return);
        };
    };
    CConfigDlg settingsDialog(std::filesystem::temp_directory_path() / "tavro-gtk-unused.ini",
                              fakeDevices({{3}}));
    EXPECT_EQ(runShown(settingsDialog, "tavro setup", enterInList(interfaceListId)), 2);

    BoardSettings settings;
    settings.speed = 9600;
    settings.slotChipId = 2;
    settings.slotChipClock = 4000000;
    CKx7mSetupDlg setupDialog(settings, nullptr);
    EXPECT_EQ(runShown(setupDialog, "KX7M Setup", enterInList(chipTypeListId)), 1);
    EXPECT_EQ(settings.speed, 9600u);
    EXPECT_EQ(settings.slotChipId, 2);
    installWindowBinding(nullptr);
}

} // namespace
