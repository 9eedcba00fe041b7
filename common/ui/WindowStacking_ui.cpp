#include "common/ui/WindowStacking_ui.h"

#include <wx/window.h>

#include <gtk/gtk.h>

void RaiseWithoutFocus(wxWindow* window) {
    if (window == nullptr || !window->IsShown()) {
        return;
    }
    // Restacking the toolkit's window leaves the focus where it is.
    if (GtkWidget* widget = window->GetHandle()) {
        if (GdkWindow* gdkWindow = gtk_widget_get_window(widget)) {
            gdk_window_raise(gdkWindow);
        }
    }
}
