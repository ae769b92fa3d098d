// The editor's and the Options sheet's host (see my_sheet.h).
#include "editor/my_sheet.h"

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kolvane::editor {

CSheetPage::CSheetPage(wxWindow* parent) : wxPanel(parent) {}

CMySheet::CMySheet(wxWindow* parent, const wxString& caption, std::function<void(int)> showHelp)
    : m_showHelp(std::move(showHelp)) {
    Create(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
           wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    CreateButtons(wxOK | wxCANCEL | wxHELP);
    // The pages' own mnemonics ("&Output...", "&Http URL:", "&Col") have the letters; OK is
    // the default button (Return), Cancel answers Esc and Help answers F1.
    for (auto [id, label] :
         {std::pair{wxID_OK, "OK"}, {wxID_CANCEL, "Cancel"}, {wxID_HELP, "Help"}})
        if (auto* button = dynamic_cast<wxButton*>(FindWindow(id)))
            button->SetLabelMarkup(
                label);  // a plain label would be the toolkit's, mnemonic and all
    wxAcceleratorEntry f1(wxACCEL_NORMAL, WXK_F1, wxID_HELP);
    SetAcceleratorTable(wxAcceleratorTable(1, &f1));
    GetBookCtrl()->Bind(wxEVT_BOOKCTRL_PAGE_CHANGING, &CMySheet::OnPageChanging, this);
    GetBookCtrl()->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, &CMySheet::OnPageChanged, this);
    Bind(wxEVT_BUTTON, &CMySheet::OnOk, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CMySheet::OnHelp, this, wxID_HELP);
    Bind(wxEVT_MENU, &CMySheet::OnHelp, this, wxID_HELP);
}

void CMySheet::AddSheetPage(CSheetPage* page, const wxString& tab) {
    GetBookCtrl()->AddPage(page, tab);
}

namespace {

// The labels of `window` and its descendants that carry a mnemonic.
void CollectLabels(wxWindow* window, std::vector<std::pair<wxWindow*, wxString>>& out) {
    for (wxWindow* child : window->GetChildren()) {
        wxString plain = child->GetLabel();
        plain.Replace("&&", "");
        if ((dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxButton*>(child) ||
             dynamic_cast<wxCheckBox*>(child)) &&
            plain.Contains("&"))
            out.emplace_back(child, child->GetLabel());
        CollectLabels(child, out);
    }
}

}  // namespace

void CMySheet::UpdateMnemonics() {
    // The toolkit honours the mnemonics of every page of the book, and switches to a hidden
    // page whose label has the letter: the pages share letters ("&Output..." and "C&ol",
    // "&Http URL:" and "&Help"), so only the shown page keeps its mnemonics.
    if (m_labels.empty())
        for (size_t i = 0; i < GetBookCtrl()->GetPageCount(); ++i) {
            m_labels.emplace_back();
            CollectLabels(GetBookCtrl()->GetPage(i), m_labels.back());
        }
    const int shown = GetBookCtrl()->GetSelection();
    for (int i = 0; i < int(m_labels.size()); ++i)
        for (auto& [window, label] : m_labels[i]) {
            const wxString want = i == shown ? label : wxStripMenuCodes(label, wxStrip_Mnemonics);
            if (window->GetLabel() != want) window->SetLabel(want);
        }
}

void CMySheet::Finish() {
    // Wide enough for every tab to show at once.
    int tabs = 0;
    for (size_t i = 0; i < GetBookCtrl()->GetPageCount(); ++i)
        tabs += GetTextExtent(GetBookCtrl()->GetPageText(i)).x + FromDIP(40);
    GetBookCtrl()->SetMinSize(wxSize(std::max(tabs, GetBookCtrl()->GetBestSize().x), -1));
    LayoutDialog();
    SetMinSize(GetSize());
    UpdateMnemonics();
    if (CSheetPage* page = ActivePage()) page->OnSetActive();
}

CSheetPage* CMySheet::ActivePage() const {
    return dynamic_cast<CSheetPage*>(GetBookCtrl()->GetCurrentPage());
}

void CMySheet::SelectPage(int index) {
    if (index == GetBookCtrl()->GetSelection()) {
        if (CSheetPage* page = ActivePage()) page->OnSetActive();
        return;
    }
    // A page chosen by the program after a failed check: the page being left is not asked.
    m_bSelecting = true;
    GetBookCtrl()->SetSelection(index);
    m_bSelecting = false;
    UpdateMnemonics();
    if (CSheetPage* page = ActivePage()) page->OnSetActive();
}

void CMySheet::OnPageChanging(wxBookCtrlEvent& event) {
    if (m_bSelecting) return;
    CSheetPage* page = ActivePage();
    if (!page || page->OnKillActive()) return;
    event.Veto();
    // The toolkit puts the old page back by selecting it again (and, for a change made through
    // the accessibility interface, may not): the events of that are not the user's, and the
    // page that refused to be left is made the shown one once they are over.
    const int stay = event.GetOldSelection();
    m_bSelecting = true;
    CallAfter([this, stay] {
        if (stay >= 0 && GetBookCtrl()->GetSelection() != stay) GetBookCtrl()->SetSelection(stay);
        m_bSelecting = false;
    });
}

void CMySheet::OnPageChanged(wxBookCtrlEvent& event) {
    event.Skip();
    UpdateMnemonics();
    if (m_bSelecting) return;
    if (CSheetPage* page = ActivePage()) page->OnSetActive();
}

void CMySheet::OnOk(wxCommandEvent&) {
    CSheetPage* page = ActivePage();
    if (page && !page->OnKillActive()) return;
    if (m_onOk && !m_onOk()) return;
    if (!m_onSave) {
        EndModal(wxID_OK);
        return;
    }
    if (m_bSaving) return;  // a second press while the first one's save is under way
    m_bSaving = true;
    CallAfter([this] {
        const bool saved = m_onSave();
        m_bSaving = false;
        if (saved) EndModal(wxID_OK);
    });
}

void CMySheet::OnHelp(wxCommandEvent&) {
    // Over a modal sheet the help window takes the input for itself and runs its own event loop
    // until it is closed: it opens after the button's handler has returned, so the button (and
    // an accessibility client that pressed it) is not held meanwhile.
    if (CSheetPage* page = ActivePage(); page && m_showHelp)
        CallAfter([this, topic = page->HelpTopic()] { m_showHelp(topic); });
}

void ShowMessageLater(wxWindow* parent, const wxString& text, bool stopIcon) {
    // The sheet may be gone by then (Cancel right after a refused check).
    wxWeakRef<wxWindow> top(parent ? wxGetTopLevelParent(parent) : nullptr);
    wxTheApp->CallAfter([top, text, stopIcon] {
        wxMessageBox(text, "Kolvane", wxOK | (stopIcon ? wxICON_HAND : wxICON_NONE), top.get());
    });
}

}  // namespace kolvane::editor
