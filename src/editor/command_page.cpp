// The Command Section page (see command_page.h).
#include "editor/command_page.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "engine/doc_data.h"
#include "editor/editor_paths.h"
#include "editor/my_sheet.h"
#include "editor/page_layout.h"
#include "editor/reschedule_text.h"

namespace kolvane::editor {

CComandPage::CComandPage(wxWindow* parent, CKolvaneDocData& doc) : CSheetPage(parent), m_doc(doc) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* paths = new wxFlexGridSizer(2, wxSize(8, 4));
    paths->AddGrowableCol(0);
    auto pathRow = [&](const wxString& label) {
        paths->Add(new wxStaticText(this, wxID_ANY, label));
        paths->AddSpacer(0);
        auto* field = new wxTextCtrl(this, wxID_ANY);
        field->SetMaxLength(kMaxFieldLength);
        field->SetMinSize(wxSize(FromDIP(380), -1));
        paths->Add(field, 1, wxEXPAND);
        return field;
    };
    m_template = pathRow("&Template Path and File Name:");
    paths->AddSpacer(0);
    m_output = pathRow("&Output File Path and File Name:");
    m_browse = new wxButton(this, wxID_ANY, "&Browse");
    paths->Add(m_browse, 0, wxALIGN_CENTER_VERTICAL);
    m_errorLog = pathRow("&Error Log Path and File Name:");
    paths->AddSpacer(0);
    top->Add(paths, 0, wxEXPAND | wxALL, FromDIP(10));

    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Output File:");
    auto* upload = new wxFlexGridSizer(2, wxSize(8, 6));
    upload->AddGrowableCol(1);
    wxWindow* boxParent = box->GetStaticBox();
    m_url = AddLabelledText(boxParent, upload, "Ftp &URL:", kMaxFieldLength);
    m_userId = AddLabelledText(boxParent, upload, "&Ftp User ID:", kMaxFieldLength);
    m_password =
        AddLabelledText(boxParent, upload, "Ftp &Password:", kMaxFieldLength, wxTE_PASSWORD);
    m_serverDir = AddLabelledText(boxParent, upload, "&Directory on Server:", kMaxFieldLength);
    m_serverFile = AddLabelledText(boxParent, upload, "File &Name on Server:", kMaxFieldLength);
    box->Add(upload, 1, wxEXPAND | wxALL, FromDIP(6));
    top->Add(box, 0, wxEXPAND | wxLEFT | wxRIGHT, FromDIP(10));

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "&Reschedule Timer Setting"), 0,
             wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    m_reschedule = new wxTextCtrl(this, wxID_ANY);
    m_reschedule->SetMaxLength(99);
    m_reschedule->SetMinSize(wxSize(FromDIP(110), -1));
    row->Add(m_reschedule);
    top->Add(row, 0, wxALL, FromDIP(10));
    SetSizer(top);

    Track(m_template, ETarget::Template);
    Track(m_output, ETarget::Output);
    Track(m_errorLog, ETarget::ErrorLog);
    for (wxTextCtrl* other : {m_url, m_userId, m_password, m_serverDir, m_serverFile, m_reschedule})
        Track(other, ETarget::None);
    m_browse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CallAfter(&CComandPage::OnBrowse); });
}

void CComandPage::Track(wxTextCtrl* field, ETarget target) {
    field->Bind(wxEVT_SET_FOCUS, [this, target](wxFocusEvent& event) {
        event.Skip();
        m_target = target;
        m_browse->Enable(target != ETarget::None);
    });
}

void CComandPage::OnSetActive() {
    const CCommandSection& c = m_doc.m_cmd;
    if (m_bFirst) {
        m_bFirst = false;
        m_template->ChangeValue(ToWx(JoinPath(c.m_strTemplatePath, c.m_strTemplateName)));
        m_output->ChangeValue(ToWx(JoinPath(c.m_strOutputPath, c.m_strOutputName)));
        m_errorLog->ChangeValue(ToWx(JoinPath(c.m_strErrorLogPath, c.m_strErrorLogName)));
        m_url->ChangeValue(ToWx(c.m_strUploadUrl));
        m_userId->ChangeValue(ToWx(c.m_strUploadUserId));
        m_password->ChangeValue(ToWx(c.m_strUploadPassword));
        m_serverDir->ChangeValue(ToWx(c.m_strUploadServerDir));
        m_serverFile->ChangeValue(ToWx(c.m_strUploadServerFile));
        m_nLoadedInterval = c.m_nInterval;
        m_strLoadedInterval = FormatInterval(c.m_nInterval);
        m_reschedule->ChangeValue(m_strLoadedInterval);
    }
    m_template->SetFocus();
    m_target = ETarget::Template;
    m_browse->Enable();
}

bool CComandPage::OnKillActive() {
    if (!KnownIntervalUnits(FromWx(m_reschedule->GetValue()))) {
        ShowMessageLater(this, "The Reschedule Timer Setting \"" +
                                   m_reschedule->GetValue().Strip(wxString::both) +
                                   "\" has a unit Kolvane does not know!\nGive seconds, or "
                                   "minutes with M, or hours with H (for a day: 24 H).");
        m_reschedule->SetFocus();
        return false;
    }
    if (UrlHasCredentials(FromWx(m_url->GetValue()))) {
        ShowMessageLater(this, CredentialsRefusal("Ftp User ID:", "Ftp Password:"));
        m_url->SetFocus();
        return false;
    }
    CCommandSection& c = m_doc.m_cmd;
    auto split = [](wxTextCtrl* field, std::string& dir, std::string& name) {
        SSplitPath s = SplitPath(FromWx(field->GetValue()));
        dir = std::move(s.dir);
        name = std::move(s.name);
    };
    split(m_template, c.m_strTemplatePath, c.m_strTemplateName);
    split(m_output, c.m_strOutputPath, c.m_strOutputName);
    split(m_errorLog, c.m_strErrorLogPath, c.m_strErrorLogName);
    c.m_strUploadUrl = FromWx(m_url->GetValue());
    c.m_strUploadUserId = FromWx(m_userId->GetValue());
    c.m_strUploadPassword = FromWx(m_password->GetValue());
    c.m_strUploadServerDir = FromWx(m_serverDir->GetValue());
    c.m_strUploadServerFile = FromWx(m_serverFile->GetValue());
    // The shown text rounds (3601 s shows as 1.00 H, 0 as 0 S): a field the user did not touch
    // keeps the loaded interval, so opening and saving a rule never changes its schedule.
    const std::string text = FromWx(m_reschedule->GetValue());
    c.m_nInterval = text == m_strLoadedInterval ? m_nLoadedInterval : ParseInterval(text);
    return true;
}

void CComandPage::OnBrowse() {
    wxTextCtrl* field = m_target == ETarget::Template   ? m_template
                        : m_target == ETarget::Output   ? m_output
                        : m_target == ETarget::ErrorLog ? m_errorLog
                                                        : nullptr;
    if (!field) return;
    const char* what = m_target == ETarget::Template ? "Template File"
                       : m_target == ETarget::Output ? "Output File"
                                                     : "Error Log File";
    wxFileDialog dialog(this, wxString("Select: ") + what, "", "",
                        "All Files (*.*) |*|HTML File (*.htm*) |*.htm*", wxFD_OPEN);
    if (dialog.ShowModal() == wxID_OK) field->ChangeValue(dialog.GetPath());
    field->SetFocus();
}

}  // namespace kolvane::editor
