// The log window's frame.
#include "runwindow/child_frame.h"

#include "runwindow/status_panes.h"

namespace kolvane {

std::function<wxMenuBar*()>& ChildMenuBarMaker() {
    static std::function<wxMenuBar*()> maker;
    return maker;
}

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, doc->GetUserReadableName()) {
    if (ChildMenuBarMaker()) SetMenuBar(ChildMenuBarMaker()());
    if (parent->GetIcons().IsOk()) SetIcons(parent->GetIcons());
}

void CChildFrame::DoGiveHelp(const wxString& text, bool show) {
    GiveHelp(text, show);
}

}  // namespace kolvane
