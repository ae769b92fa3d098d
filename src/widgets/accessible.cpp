// Accessible names through ATK, the accessibility layer under GTK.
#include "widgets/accessible.h"

#include <wx/anybutton.h>
#include <wx/dataview.h>
#include <wx/toolbar.h>
#include <wx/tooltip.h>
#include <wx/window.h>

#include "widgets/gtk_symbols.h"

namespace kolvane {
namespace {

void* AccessibleOf(void* widget) {
    const gtk::SSymbols& s = gtk::Symbols();
    return s.ok && widget ? s.widget_get_accessible(widget) : nullptr;
}

void* AccessibleOf(wxWindow* window) {
    if (!window) return nullptr;
    // The widget that takes the focus (a list's tree view inside its scrolled window) is the one
    // a screen reader announces.
    void* widget = window->GetConnectWidget();
#ifdef __WXGTK__
    if (auto* list = dynamic_cast<wxDataViewCtrl*>(window)) widget = list->GtkGetTreeView();
#endif
    return AccessibleOf(widget ? widget : static_cast<void*>(window->GetHandle()));
}

}  // namespace

void SetAccessibleName(wxWindow* window, const wxString& name) {
    if (void* a = AccessibleOf(window)) gtk::Symbols().atk_set_name(a, name.utf8_str());
}

void SetAccessibleDescription(wxWindow* window, const wxString& text) {
    if (void* a = AccessibleOf(window)) gtk::Symbols().atk_set_description(a, text.utf8_str());
}

void NameToolBarTools(wxToolBar* bar) {
    const gtk::SSymbols& s = gtk::Symbols();
    if (!bar) return;
    // The toolkit wraps its GTK tool bar in a box of its own.
    void* gtkBar = bar->GetHandle();
    if (gtk::IsA(gtkBar, s.bin_get_type)) gtkBar = s.bin_get_child(gtkBar);
    if (!gtk::IsA(gtkBar, s.toolbar_get_type)) return;
    const int n = s.toolbar_get_n_items(gtkBar);
    for (int i = 0; i < n && i < static_cast<int>(bar->GetToolsCount()); ++i) {
        const wxToolBarToolBase* tool = bar->GetToolByPos(i);
        void* item = s.toolbar_get_nth_item(gtkBar, i);
        if (!tool || !item || !tool->IsButton()) continue;
        wxString name = tool->GetShortHelp();
        if (name.empty()) name = tool->GetLabel();
        if (name.empty()) continue;
        s.atk_set_name(AccessibleOf(item), name.utf8_str());
        // The button inside the tool item is what the focus and a screen reader reach.
        if (gtk::IsA(item, s.bin_get_type))
            if (void* child = s.bin_get_child(item))
                s.atk_set_name(AccessibleOf(child), name.utf8_str());
    }
}

void NameIconButtons(wxWindow* root) {
    if (!root) return;
    for (wxWindow* child : root->GetChildren()) {
        if (auto* button = dynamic_cast<wxAnyButton*>(child);
            button && button->GetLabelText().empty() && button->GetToolTip())
            SetAccessibleName(button, button->GetToolTip()->GetTip());
        if (auto* bar = dynamic_cast<wxToolBar*>(child)) NameToolBarTools(bar);
        NameIconButtons(child);
    }
}

}  // namespace kolvane
