// The Options sheet's pages (see options_pages.h).
#include "editor/options_pages.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dataview.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "widgets/accessible.h"
#include "editor/filter_check.h"
#include "editor/page_layout.h"

namespace kolvane::editor {

CPrefdlg::CPrefdlg(wxWindow* parent, SOptionsTarget target)
    : CSheetPage(parent), m_target(std::move(target)) {
    const int gap = FromDIP(10);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, "&Editor Application:"), 0, wxLEFT | wxRIGHT | wxTOP,
             gap);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    m_editor = new wxTextCtrl(this, wxID_ANY);
    m_editor->SetMinSize(wxSize(FromDIP(360), -1));
    row->Add(m_editor, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    m_browse = new wxButton(this, wxID_ANY, "&Browse");
    row->Add(m_browse);
    top->Add(row, 0, wxEXPAND | wxALL, gap);
    m_usDate =
        new wxCheckBox(this, wxID_ANY, "&Display U.S. Date/Time for %%SYSDATE%%/%%SYSTIME%%");
    m_matchCase = new wxCheckBox(this, wxID_ANY, "&Match Case Everywhere");
    m_askFileName =
        new wxCheckBox(this, wxID_ANY, "&Always Ask for File Name after Editing a Rule File");
    for (wxCheckBox* c : {m_usDate, m_matchCase, m_askFileName})
        top->Add(c, 0, wxLEFT | wxRIGHT | wxBOTTOM, gap);
    SetSizer(top);
    m_browse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CallAfter(&CPrefdlg::OnBrowse); });
}

void CPrefdlg::OnSetActive() {
    m_editor->ChangeValue(ToWx(*m_target.editor));
    m_usDate->SetValue(*m_target.dateDisplay != 0);
    m_matchCase->SetValue(*m_target.matchCase != 0);
    m_askFileName->SetValue(*m_target.askFileName != 0);
    m_editor->SetFocus();
}

bool CPrefdlg::OnKillActive() {
    *m_target.editor = FromWx(m_editor->GetValue());
    *m_target.dateDisplay = m_usDate->GetValue();
    *m_target.matchCase = m_matchCase->GetValue();
    *m_target.askFileName = m_askFileName->GetValue();
    m_target.savePreferences();
    return true;
}

void CPrefdlg::OnBrowse() {
    // Programs on this platform carry no ".exe": every file is offered.
    wxFileDialog dialog(this, "Select File Editor", "", "", "All Files (*.*) |*", wxFD_OPEN);
    if (dialog.ShowModal() == wxID_OK && !dialog.GetPath().empty())
        m_editor->ChangeValue(dialog.GetPath());
}

CFileFilter::CFileFilter(wxWindow* parent, SOptionsTarget target)
    : CSheetPage(parent), m_target(std::move(target)) {
    const int gap = FromDIP(10);
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* fields = new wxFlexGridSizer(2, wxSize(8, 6));
    fields->AddGrowableCol(1);
    m_description = AddLabelledText(this, fields, "De&scription:", 0);
    m_filter = AddLabelledText(this, fields, "&Filter:", 0);
    top->Add(fields, 0, wxEXPAND | wxALL, gap);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    // Two columns, so descriptions and patterns line up; a native list that screen readers read.
    m_list =
        new wxDataViewListCtrl(this, wxID_ANY, wxDefaultPosition,
                               wxSize(FromDIP(340), FromDIP(180)), wxDV_SINGLE | wxDV_ROW_LINES);
    m_list->AppendTextColumn("Description", wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE);
    m_list->AppendTextColumn("Filter", wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE);
    SetAccessibleName(m_list, "Filters");
    row->Add(m_list, 1, wxEXPAND | wxRIGHT, FromDIP(8));
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    m_up = new wxButton(this, wxID_ANY, "&Up");
    m_down = new wxButton(this, wxID_ANY, "Do&wn");
    m_add = new wxButton(this, wxID_ANY, "&Add");
    m_replace = new wxButton(this, wxID_ANY, "Re&place");
    m_remove = new wxButton(this, wxID_ANY, "&Remove");
    for (wxButton* b : {m_up, m_down, m_add, m_replace, m_remove})
        buttons->Add(b, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
    row->Add(buttons);
    top->Add(row, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap);
    SetSizer(top);

    m_up->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnMove(-1); });
    m_down->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnMove(1); });
    m_add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(false); });
    m_replace->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(true); });
    m_remove->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRemove(); });
    m_list->Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, [this](wxDataViewEvent&) { UpdateButtons(); });
    m_list->Bind(wxEVT_DATAVIEW_ITEM_ACTIVATED, [this](wxDataViewEvent&) { OnDoubleClick(); });
}

void CFileFilter::OnSetActive() {
    if (m_bFirst) {
        m_bFirst = false;
        for (const std::string& entry : *m_target.filters)
            if (auto line = FilterLineOfEntry(entry)) Insert(ToWx(*line), m_list->GetItemCount());
    }
    m_replace->Disable();
    m_down->Disable();
    m_up->Disable();
    m_remove->Disable();
}

bool CFileFilter::OnKillActive() {
    m_target.filters->clear();
    for (int i = 0; i < m_list->GetItemCount(); ++i)
        m_target.filters->push_back(FilterEntryOfLine(FromWx(Line(i))));
    m_target.saveFilters();
    return true;
}

bool CFileFilter::Check(std::string& line) {
    const std::string description = FromWx(m_description->GetValue());
    const SFilterCheck check = CheckFilter(description, FromWx(m_filter->GetValue()));
    if (!check.ok) {
        ShowMessageLater(this, ToWx(check.message), true);
        (check.focus == EFilterField::Description ? m_description : m_filter)->SetFocus();
        return false;
    }
    line = description + "\t" + check.cleaned;
    return true;
}

void CFileFilter::Insert(const wxString& line, int row) {
    wxVector<wxVariant> values;
    values.push_back(line.BeforeFirst('\t'));
    values.push_back(line.AfterFirst('\t'));
    m_list->InsertItem(row, values);
}

wxString CFileFilter::Line(int row) const {
    return m_list->GetTextValue(row, 0) + "\t" + m_list->GetTextValue(row, 1);
}

void CFileFilter::UpdateButtons() {
    const int sel = m_list->GetSelectedRow();
    const bool any = sel != wxNOT_FOUND;
    m_replace->Enable(any);
    m_remove->Enable(any);
    m_up->Enable(any && sel > 0);
    m_down->Enable(any && sel + 1 < m_list->GetItemCount());
}

void CFileFilter::OnAdd(bool replace) {
    std::string line;
    const int sel = m_list->GetSelectedRow();
    if (replace && sel == wxNOT_FOUND) return;
    if (!Check(line)) return;
    if (replace) {
        m_list->DeleteItem(sel);
        Insert(ToWx(line), sel);
    } else {
        Insert(ToWx(line), m_list->GetItemCount());
    }
    m_description->ChangeValue("");
    m_filter->ChangeValue("");
    m_list->UnselectAll();
    UpdateButtons();
}

void CFileFilter::OnMove(int by) {
    const int sel = m_list->GetSelectedRow();
    const int to = sel + by;
    if (sel == wxNOT_FOUND || to < 0 || to >= m_list->GetItemCount()) return;
    const wxString text = Line(sel);
    m_list->DeleteItem(sel);
    Insert(text, to);
    m_list->SelectRow(to);
    UpdateButtons();
}

void CFileFilter::OnRemove() {
    const int sel = m_list->GetSelectedRow();
    if (sel == wxNOT_FOUND) return;
    m_list->DeleteItem(sel);
    m_list->UnselectAll();
    UpdateButtons();
}

void CFileFilter::OnDoubleClick() {
    const int sel = m_list->GetSelectedRow();
    if (sel == wxNOT_FOUND) return;
    const wxString line = Line(sel);
    m_description->ChangeValue(line.BeforeFirst('\t'));
    m_filter->ChangeValue(line.AfterFirst('\t'));
}

void ShowOptionsSheet(wxWindow* parent, SOptionsTarget target, std::function<void(int)> showHelp) {
    CMySheet sheet(parent, "Kolvane", std::move(showHelp));
    sheet.AddSheetPage(new CPrefdlg(sheet.GetBookCtrl(), target), "Preferences");
    sheet.AddSheetPage(new CFileFilter(sheet.GetBookCtrl(), target), "Filters");
    sheet.Finish();
    sheet.ShowModal();
}

}  // namespace kolvane::editor
