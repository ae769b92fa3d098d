// Looking up the GTK calls in the running process.
#include "widgets/gtk_symbols.h"

#include <dlfcn.h>

namespace kolvane::gtk {
namespace {

template <typename F>
bool Find(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
    return f != nullptr;
}

SSymbols Load() {
    SSymbols s;
    s.ok = Find(s.widget_get_accessible, "gtk_widget_get_accessible") &&
           Find(s.atk_set_name, "atk_object_set_name") &&
           Find(s.atk_set_description, "atk_object_set_description") &&
           Find(s.toolbar_get_n_items, "gtk_toolbar_get_n_items") &&
           Find(s.toolbar_get_nth_item, "gtk_toolbar_get_nth_item") &&
           Find(s.bin_get_child, "gtk_bin_get_child") &&
           Find(s.scrollable_get_vadjustment, "gtk_scrollable_get_vadjustment") &&
           Find(s.adjustment_get_value, "gtk_adjustment_get_value") &&
           Find(s.adjustment_get_page_size, "gtk_adjustment_get_page_size") &&
           Find(s.adjustment_get_upper, "gtk_adjustment_get_upper") &&
           Find(s.signal_connect_data, "g_signal_connect_data") &&
           Find(s.signal_handler_disconnect, "g_signal_handler_disconnect") &&
           Find(s.object_ref, "g_object_ref") && Find(s.object_unref, "g_object_unref") &&
           Find(s.type_check_instance_is_a, "g_type_check_instance_is_a") &&
           Find(s.toolbar_get_type, "gtk_toolbar_get_type") &&
           Find(s.bin_get_type, "gtk_bin_get_type") &&
           Find(s.scrollable_get_type, "gtk_scrollable_get_type") &&
           Find(s.drag_dest_set_track_motion, "gtk_drag_dest_set_track_motion");
    return s;
}

}  // namespace

const SSymbols& Symbols() {
    static const SSymbols symbols = Load();
    return symbols;
}

}  // namespace kolvane::gtk
