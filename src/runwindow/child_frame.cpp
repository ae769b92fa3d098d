// The log window's frame.
#include "child_frame.h"

namespace kolvane {

SChildMenus& ChildMenus() {
    static SChildMenus menus;
    return menus;
}

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, doc->GetUserReadableName()) {
    if (ChildMenus().make) SetMenuBar(ChildMenus().make());
    if (parent->GetIcons().IsOk()) SetIcons(parent->GetIcons());
}

CChildFrame::~CChildFrame() {
    if (ChildMenus().release && GetMenuBar()) ChildMenus().release(GetMenuBar());
}

}  // namespace kolvane
