// The few GTK, ATK and GObject calls the program makes beside the toolkit (accessible names, the
// list's scroll position, the drop site of the window tabs), looked up in the running process: the
// toolkit has loaded GTK already, so no development headers and no second link are needed. Every
// pointer is null when the toolkit is not GTK; callers then do nothing.
#pragma once

#include <cstddef>

namespace kolvane::gtk {

using GType = std::size_t;

struct SSymbols {
    void* (*widget_get_accessible)(void*) = nullptr;
    void (*atk_set_name)(void*, const char*) = nullptr;
    void (*atk_set_description)(void*, const char*) = nullptr;
    int (*toolbar_get_n_items)(void*) = nullptr;
    void* (*toolbar_get_nth_item)(void*, int) = nullptr;
    void* (*bin_get_child)(void*) = nullptr;
    void* (*scrollable_get_vadjustment)(void*) = nullptr;
    double (*adjustment_get_value)(void*) = nullptr;
    double (*adjustment_get_page_size)(void*) = nullptr;
    double (*adjustment_get_upper)(void*) = nullptr;
    unsigned long (*signal_connect_data)(void*, const char*, void (*)(), void*, void*,
                                         int) = nullptr;
    void (*signal_handler_disconnect)(void*, unsigned long) = nullptr;
    void* (*object_ref)(void*) = nullptr;
    void (*object_unref)(void*) = nullptr;
    int (*type_check_instance_is_a)(void*, GType) = nullptr;
    GType (*toolbar_get_type)() = nullptr;
    GType (*bin_get_type)() = nullptr;
    GType (*scrollable_get_type)() = nullptr;
    void (*drag_dest_set_track_motion)(void*, int) = nullptr;

    bool ok = false;  // every one was found
};

// Looked up once.
const SSymbols& Symbols();

// Whether `instance` is a GObject of the type `getType` returns.
inline bool IsA(void* instance, GType (*getType)()) {
    const SSymbols& s = Symbols();
    return s.ok && instance && s.type_check_instance_is_a(instance, getType());
}

}  // namespace kolvane::gtk
