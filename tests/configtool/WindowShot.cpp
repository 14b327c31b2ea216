// windowshot: saves a picture of one X window as PNG, for the screenshots of
// the GUI test. Usage: windowshot <window id> <file.png>; exit code 0 when
// the picture was saved.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 || !gtk_init_check(nullptr, nullptr)) {
        std::fputs("usage: windowshot <window id> <file.png> (needs a display)\n", stderr);
        return 2;
    }
    GdkDisplay* display = gdk_display_get_default();
    auto id = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    GdkWindow* window = gdk_x11_window_foreign_new_for_display(display, id);
    if (window == nullptr) return 1;
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                    gdk_window_get_height(window));
    bool saved = picture != nullptr && gdk_pixbuf_save(picture, argv[2], "png", nullptr, nullptr);
    if (picture != nullptr) g_object_unref(picture);
    g_object_unref(window);
    return saved ? 0 : 1;
}
