// The Scan Variable page (see scan_var_page.h).
#include "editor/scan_var_page.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "engine/doc_data.h"
#include "editor/editor_paths.h"
#include "editor/number_field.h"
#include "editor/page_layout.h"
#include "editor/round_trip.h"
#include "editor/value_now.h"

namespace kolvane::editor {
namespace {

wxTextCtrl* NumberEdit(wxWindow* parent, int width) {
    auto* t = new wxTextCtrl(parent, wxID_ANY, "0", wxDefaultPosition,
                             wxSize(parent->FromDIP(width), -1));
    t->SetMaxLength(10);
    return t;
}

}  // namespace

CScanVarPage::CScanVarPage(wxWindow* parent, CKolvaneDocData& doc)
    : CSheetPage(parent), m_doc(doc) {
    const int gap = FromDIP(8);
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* head = new wxFlexGridSizer(2, wxSize(8, 5));
    head->AddGrowableCol(1);
    head->Add(new wxStaticText(this, wxID_ANY, "Scan&File Number"), 0, wxALIGN_CENTER_VERTICAL);
    auto* fileRow = new wxBoxSizer(wxHORIZONTAL);
    m_fileNumber = std::make_unique<CNumberField>(this, fileRow);
    head->Add(fileRow);
    m_siteUrl = AddLabelledText(this, head, "Site URL:", 0, wxTE_READONLY);
    head->Add(new wxStaticText(this, wxID_ANY, "Obtained by:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* byRow = new wxBoxSizer(wxHORIZONTAL);
    m_ftp = new wxCheckBox(this, wxID_ANY, "Ftp");
    m_http = new wxCheckBox(this, wxID_ANY, "Http");
    m_ftp->Disable();
    m_http->Disable();
    byRow->Add(m_ftp, 0, wxRIGHT, FromDIP(12));
    byRow->Add(m_http);
    head->Add(byRow);
    m_localName = AddLabelledText(this, head, "Local File Name:", 0, wxTE_READONLY);
    top->Add(head, 0, wxEXPAND | wxALL, gap);

    auto* info = new wxStaticBoxSizer(wxVERTICAL, this, " Scan Variable Info for Scan File ");
    wxWindow* box = info->GetStaticBox();
    auto* varGrid = new wxFlexGridSizer(2, wxSize(8, 5));
    varGrid->AddGrowableCol(1);
    varGrid->Add(new wxStaticText(box, wxID_ANY, "Scan Varia&ble No."), 0, wxALIGN_CENTER_VERTICAL);
    auto* varRow = new wxBoxSizer(wxHORIZONTAL);
    m_varNumber = std::make_unique<CNumberField>(box, varRow);
    varGrid->Add(varRow);
    m_name = AddLabelledText(box, varGrid, "Scan &Variable Name:", kMaxName);
    info->Add(varGrid, 0, wxEXPAND | wxALL, FromDIP(4));

    auto* lc = new wxStaticBoxSizer(wxHORIZONTAL, box, " Line-Column Extract ");
    wxWindow* lcBox = lc->GetStaticBox();
    auto* lcGrid = new wxFlexGridSizer(4, wxSize(8, 5));
    // Each edit has a label of its own, so that a screen reader tells the four apart.
    auto cell = [&](const wxString& label) {
        lcGrid->Add(new wxStaticText(lcBox, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        wxTextCtrl* t = NumberEdit(lcBox, 70);
        lcGrid->Add(t, 0, wxRIGHT, FromDIP(12));
        return t;
    };
    m_startLine = cell("Starting &Line");
    m_startCol = cell("Starting &Col");
    m_endLine = cell("Ending L&ine");
    m_endCol = cell("Ending C&ol");
    lc->Add(lcGrid, 0, wxALL, FromDIP(4));
    info->Add(lc, 0, wxEXPAND | wxALL, FromDIP(4));

    auto* cp = new wxStaticBoxSizer(wxVERTICAL, box, " Character Pattern Matching ");
    wxWindow* cpBox = cp->GetStaticBox();
    auto* cpGrid = new wxFlexGridSizer(2, wxSize(8, 5));
    cpGrid->AddGrowableCol(1);
    const wxSize patternSize(FromDIP(360), FromDIP(44));
    cpGrid->Add(new wxStaticText(cpBox, wxID_ANY, "&Start Pattern"));
    m_startPattern =
        new wxTextCtrl(cpBox, wxID_ANY, "", wxDefaultPosition, patternSize, wxTE_MULTILINE);
    cpGrid->Add(m_startPattern, 1, wxEXPAND);
    m_rule = AddLabelledText(cpBox, cpGrid, "&Rule:", 99);
    cpGrid->Add(new wxStaticText(cpBox, wxID_ANY, "End &Pattern"));
    m_endPattern =
        new wxTextCtrl(cpBox, wxID_ANY, "", wxDefaultPosition, patternSize, wxTE_MULTILINE);
    cpGrid->Add(m_endPattern, 1, wxEXPAND);
    cpGrid->Add(new wxStaticText(cpBox, wxID_ANY, "I&nstance:"), 0, wxALIGN_CENTER_VERTICAL);
    m_instance = NumberEdit(cpBox, 70);
    cpGrid->Add(m_instance);
    cp->Add(cpGrid, 1, wxEXPAND | wxALL, FromDIP(4));
    info->Add(cp, 0, wxEXPAND | wxALL, FromDIP(4));

    auto* valueGrid = new wxFlexGridSizer(2, wxSize(8, 5));
    valueGrid->AddGrowableCol(1);
    m_valueNow = AddLabelledText(box, valueGrid, "Value now:", 0, wxTE_READONLY);
    m_written = AddLabelledText(box, valueGrid, "Written as:", 0, wxTE_READONLY);
    for (wxTextCtrl* t : {m_siteUrl, m_localName, m_valueNow, m_written}) ShowReadOnly(t);
    AlignLabels({varGrid, valueGrid});
    info->Add(valueGrid, 0, wxEXPAND | wxALL, FromDIP(4));
    top->Add(info, 1, wxEXPAND | wxLEFT | wxRIGHT, gap);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_clear = new wxButton(this, wxID_ANY, "Cl&ear");
    m_add = new wxButton(this, wxID_ANY, "&Add");
    m_delete = new wxButton(this, wxID_ANY, "&Delete");
    for (wxButton* b : {m_clear, m_add}) buttons->Add(b, 0, wxRIGHT, FromDIP(8));
    buttons->Add(m_delete);
    top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, gap);
    SetSizer(top);

    m_fileNumber->m_onSpin = [this](int to) {
        if (to == m_nFile) return true;
        if (!Store()) return false;
        SelectScanFile(to);
        return true;
    };
    m_fileNumber->m_onTyped = [this](bool leaving) { OnScanFileTyped(leaving); };
    m_varNumber->m_onSpin = [this](int to) {
        if (to == m_nVar) return true;
        if (!Store()) return false;
        SelectVar(to);
        return true;
    };
    m_varNumber->m_onTyped = [this](bool leaving) { OnVarTyped(leaving); };
    m_rule->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnRuleChanged(); });
    // GTK keeps no length limit for multi-line edits: as with the limit of a single-line edit,
    // what goes beyond the model's capacity is refused with a beep while it is typed.
    for (wxTextCtrl* t : {m_startPattern, m_endPattern}) {
        t->Bind(wxEVT_TEXT, [t](wxCommandEvent& event) {
            event.Skip();
            wxString text = t->GetValue();
            if (text.utf8_str().length() <= kMaxPattern) return;
            while (text.utf8_str().length() > kMaxPattern) text.RemoveLast();
            wxBell();
            t->ChangeValue(text);
            t->SetInsertionPointEnd();
        });
    }
    for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol})
        t->Bind(wxEVT_TEXT, [this](wxCommandEvent& e) {
            e.Skip();
            OnStyleChosen(true);
        });
    for (wxTextCtrl* t : {m_startPattern, m_endPattern, m_instance})
        t->Bind(wxEVT_TEXT, [this](wxCommandEvent& e) {
            e.Skip();
            OnStyleChosen(false);
        });
    m_clear->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnClear(); });
    m_add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnDelete(); });
}

CScanVarPage::~CScanVarPage() = default;

void CScanVarPage::OnSetActive() {
    m_bLive = false;
    m_bCleared = false;
    m_nFileCount = int(m_doc.m_scanFiles.size());
    if (m_nFileCount > 0) {
        m_fileNumber->SetRange(1, m_nFileCount);
        SelectScanFile(1);
    } else {
        m_fileNumber->SetRange(0, 0);
        m_fileNumber->Set(0);
        m_nFile = 0;
        m_pFile = nullptr;
        ShowScanFile();
        SelectScanFile(0);
    }
    m_bLive = true;
}

void CScanVarPage::GoTo(int scanFile, int varNo) {
    if (scanFile < 1 || scanFile > m_nFileCount) return;
    m_bLive = false;
    SelectScanFile(scanFile);
    if (varNo >= 1 && varNo <= m_nVarCount) SelectVar(varNo);
    m_bLive = true;
}

void CScanVarPage::SelectScanFile(int n) {
    m_nFile = n;
    m_pFile = n > 0 ? m_doc.m_scanFiles.FindScanFile(n) : nullptr;
    m_fileNumber->Set(n);
    ShowScanFile();
    m_nVarCount = m_pFile ? m_doc.m_scanVars.CountVars(n) : 0;
    m_varNumber->SetRange(m_nVarCount > 0 ? 1 : 0, m_nVarCount);
    SelectVar(m_nVarCount > 0 ? 1 : 0);
}

void CScanVarPage::SelectVar(int n) {
    m_nVar = n;
    m_pVar = n > 0 ? m_doc.m_scanVars.FindVar(m_nFile, n) : nullptr;
    m_varNumber->Set(n);
    m_delete->Enable(m_pVar != nullptr);
    ShowVar();
}

void CScanVarPage::ShowScanFile() {
    if (!m_pFile) {
        m_siteUrl->ChangeValue("");
        m_localName->ChangeValue("");
        m_ftp->SetValue(false);
        m_http->SetValue(false);
        return;
    }
    m_ftp->SetValue(m_pFile->m_bFtp);
    m_http->SetValue(m_pFile->m_bHttp);
    m_siteUrl->ChangeValue(
        ToWx(m_pFile->m_strUrl + m_pFile->m_strServerDir + m_pFile->m_strServerFile));
    m_localName->ChangeValue(ToWx(JoinPath(m_pFile->m_strPath, m_pFile->m_strName)));
}

void CScanVarPage::SetDefinitionEnabled(const SVarEnabled& e) {
    for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol}) t->Enable(e.lineColumn);
    m_startPattern->Enable(e.startPattern);
    m_rule->Enable(e.rule);
    m_endPattern->Enable(e.endPattern);
    m_instance->Enable(e.instance);
}

void CScanVarPage::ShowVar() {
    if (!m_pVar) {
        m_name->ChangeValue("");
        for (wxTextCtrl* t : {m_startPattern, m_rule, m_endPattern, m_valueNow, m_written})
            t->ChangeValue("");
        for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol}) t->ChangeValue("0");
        m_instance->ChangeValue("1");
        return;
    }
    const SVarShown shown = ShowVariable(*m_pVar);
    const SVarFields& f = shown.fields;
    m_name->ChangeValue(ToWx(f.name));
    m_startLine->ChangeValue(wxString::Format("%u", f.startLine));
    m_startCol->ChangeValue(wxString::Format("%u", f.startCol));
    m_endLine->ChangeValue(wxString::Format("%u", f.endLine));
    m_endCol->ChangeValue(wxString::Format("%u", f.endCol));
    m_startPattern->ChangeValue(ToWx(f.startPattern));
    m_rule->ChangeValue(ToWx(f.rule));
    m_endPattern->ChangeValue(ToWx(f.endPattern));
    m_instance->ChangeValue(wxString::Format("%d", f.instance));
    SetDefinitionEnabled(shown.enabled);
    UpdateValueNow();
}

bool CScanVarPage::ReadFields(SVarFields& f) {
    auto positive = [this](wxTextCtrl* t, unsigned& out) {
        unsigned long n = 0;
        const wxString text = t->GetValue().Strip(wxString::both);
        if (text.StartsWith("-") || !text.ToULong(&n) || n > unsigned(INT_MAX)) {
            ShowMessageLater(this, "Please enter a positive integer.");
            t->SetFocus();
            return false;
        }
        out = unsigned(n);
        return true;
    };
    if (!positive(m_startLine, f.startLine) || !positive(m_startCol, f.startCol) ||
        !positive(m_endLine, f.endLine) || !positive(m_endCol, f.endCol))
        return false;
    long instance = 0;
    if (!m_instance->GetValue().Strip(wxString::both).ToLong(&instance) || instance > INT_MAX ||
        instance < INT_MIN) {
        ShowMessageLater(this, "Please enter an integer.");
        m_instance->SetFocus();
        return false;
    }
    f.instance = int(instance);
    f.name = FromWx(m_name->GetValue());
    f.startPattern = FromWx(m_startPattern->GetValue());
    f.rule = FromWx(m_rule->GetValue());
    f.endPattern = FromWx(m_endPattern->GetValue());
    return true;
}

bool CScanVarPage::Store() {
    SVarFields f;
    if (m_pVar && !ReadFields(f)) return false;
    if (!m_pVar) f.rule = FromWx(m_rule->GetValue());
    if (auto message = StoreVariable(f, m_bCleared, m_pVar)) {
        ShowMessageLater(this, ToWx(*message));
        return false;
    }
    if (m_rule->GetValue() != ToWx(f.rule)) m_rule->ChangeValue(ToWx(f.rule));
    return true;
}

void CScanVarPage::OnScanFileTyped(bool leaving) {
    if (!m_bLive) return;
    if (const std::optional<int> to = m_fileNumber->TypedMove(
            m_nFile, m_nFileCount, "Can't have a negative or non-integer Scan File Number!",
            [this] { return Store(); }, leaving))
        SelectScanFile(*to);
}

void CScanVarPage::OnVarTyped(bool leaving) {
    if (!m_bLive || m_bAdding) return;
    if (const std::optional<int> to = m_varNumber->TypedMove(
            m_nVar, m_nVarCount, "Can't have a negative or non-integer Scan Variable Number!",
            [this] { return Store(); }, leaving))
        SelectVar(*to);
}

void CScanVarPage::OnRuleChanged() {
    const std::string typed = FromWx(m_rule->GetValue());
    const std::string rule = NormalizeRule(typed);
    if (rule != typed) m_rule->ChangeValue(ToWx(rule));
    const bool all = IsWholeFileRule(rule);
    if (m_bCleared) {
        for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol}) t->Disable();
        if (all) {
            for (wxTextCtrl* t : {m_startPattern, m_endPattern, m_instance}) t->Disable();
        } else if (IsCopyRule(rule)) {
            m_endPattern->ChangeValue("");
            m_endPattern->Disable();
        }
        m_bCleared = false;
    } else if (all) {
        m_startPattern->ChangeValue("");
        m_endPattern->ChangeValue("");
        m_instance->ChangeValue("1");
        for (wxTextCtrl* t : {m_startPattern, m_endPattern, m_instance}) t->Disable();
    } else if (IsCopyRule(rule)) {
        m_endPattern->ChangeValue("");
        m_endPattern->Disable();
    }
    UpdateValueNow();
}

void CScanVarPage::OnStyleChosen(bool lineColumn) {
    if (m_bCleared) {
        if (lineColumn) {
            for (wxTextCtrl* t : {m_startPattern, m_endPattern, m_rule, m_instance}) t->Disable();
        } else {
            for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol}) t->Disable();
        }
        m_bCleared = false;
    }
    UpdateValueNow();
}

void CScanVarPage::OnClear() {
    if (!m_pVar) return;
    for (wxTextCtrl* t : {m_startLine, m_startCol, m_endLine, m_endCol}) t->ChangeValue("0");
    for (wxTextCtrl* t : {m_startPattern, m_endPattern, m_rule, m_valueNow, m_written})
        t->ChangeValue("");
    m_instance->ChangeValue("1");
    SVarEnabled all;
    all.lineColumn = all.startPattern = all.rule = all.endPattern = all.instance = true;
    SetDefinitionEnabled(all);
    m_bCleared = true;
}

void CScanVarPage::OnAdd() {
    if (!m_pFile) {
        ShowMessageLater(this, "Add a scan file on the Scan File page first!");
        return;
    }
    if (!Store()) return;
    m_bAdding = true;
    CScanVar* added = m_doc.m_scanVars.AddNewVar();
    m_nVarCount += 1;
    added->m_nVarNo = m_nVarCount;
    added->m_nScanFile = m_nFile;
    m_varNumber->SetRange(1, m_nVarCount);
    m_nVar = m_nVarCount;
    m_pVar = added;
    m_varNumber->Set(m_nVarCount);
    m_name->ChangeValue("");
    OnClear();
    m_delete->Enable();
    m_bAdding = false;
    m_name->SetFocus();
}

void CScanVarPage::OnDelete() {
    if (!m_pVar) return;
    const int n = m_nVar;
    m_doc.m_scanVars.RemoveVar(m_nFile, n);
    m_doc.m_scanVars.RenumberVars(m_nFile, n);
    m_bCleared = false;
    m_nVarCount -= 1;
    if (m_nVarCount == 0) {
        m_varNumber->SetRange(0, 0);
        SelectVar(0);
    } else {
        m_varNumber->SetRange(1, m_nVarCount);
        SelectVar(std::min(n, m_nVarCount));
    }
}

void CScanVarPage::UpdateValueNow() {
    if (!m_pFile || !m_pVar) {
        m_valueNow->ChangeValue("");
        m_written->ChangeValue("");
        return;
    }
    SVarFields f;
    CScanVar probe;
    // What the fields define right now, through the checks of leaving the page and of the save.
    unsigned long n = 0;
    auto number = [&n](wxTextCtrl* t) {
        return t->GetValue().Strip(wxString::both).ToULong(&n)
                   ? unsigned(std::min<unsigned long>(n, INT_MAX))
                   : 0u;
    };
    f.startLine = number(m_startLine);
    f.startCol = number(m_startCol);
    f.endLine = number(m_endLine);
    f.endCol = number(m_endCol);
    long instance = 1;
    m_instance->GetValue().ToLong(&instance);
    f.instance = int(std::clamp<long>(instance, INT_MIN, INT_MAX));
    f.name = FromWx(m_name->GetValue());
    f.startPattern = FromWx(m_startPattern->GetValue());
    f.rule = FromWx(m_rule->GetValue());
    f.endPattern = FromWx(m_endPattern->GetValue());
    if (const auto refused = StoreVariable(f, false, &probe)) {
        m_valueNow->ChangeValue(ToWx(*refused));
        m_written->ChangeValue("");
        return;
    }
    const SVarLine line = VariableLine(probe);
    m_written->ChangeValue(ToWx(line.line));
    if (line.refusal) {
        m_valueNow->ChangeValue("Not saved as it is: " + ToWx(*line.refusal));
        return;
    }
    const std::string ruleDir = std::filesystem::path(m_doc.m_strRulePath).parent_path().string();
    const SValueNow now = ValueNowOf(*m_pFile, probe, ruleDir);
    // Quoted, so that blanks at either end are seen.
    m_valueNow->ChangeValue(now.found ? "\"" + ToWx(now.text) + "\"" : ToWx(now.text));
}

}  // namespace kolvane::editor
