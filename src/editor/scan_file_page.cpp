// The Scan File page (see scan_file_page.h).
#include "editor/scan_file_page.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "engine/doc_data.h"
#include "editor/editor_paths.h"
#include "editor/number_field.h"
#include "editor/page_layout.h"

namespace kolvane::editor {

CScanFilePage::CScanFilePage(wxWindow* parent, CKolvaneDocData& doc)
    : CSheetPage(parent), m_doc(doc) {
    const int gap = FromDIP(10);
    const int inner = FromDIP(6);
    auto* top = new wxBoxSizer(wxVERTICAL);
    // One label column for the whole page: the fields above the frame are indented as far as
    // those inside it, and every label is as wide as the widest.
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 6));
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(this, wxID_ANY, "Scan&File Number:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* numberRow = new wxBoxSizer(wxHORIZONTAL);
    m_number = std::make_unique<CNumberField>(this, numberRow);
    grid->Add(numberRow);
    m_httpUrl = AddLabelledText(this, grid, "&Http URL:", kMaxFieldLength);
    m_ftpUrl = AddLabelledText(this, grid, "Ftp U&RL:", kMaxFieldLength);
    // The server's credentials, FTP and HTTP alike.
    m_userId = AddLabelledText(this, grid, "&User ID:", kMaxFieldLength);
    m_password = AddLabelledText(this, grid, "&Password:", kMaxFieldLength, wxTE_PASSWORD);
    wxSizerItem* gridItem = top->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);

    // Created after the fields above, so that Tab reaches it after them.
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, " File Information ");
    wxWindow* boxParent = box->GetStaticBox();
    int boxTop = 0, boxSide = 0;
    box->GetStaticBox()->GetBordersForSizer(&boxTop, &boxSide);
    gridItem->SetBorder(gap + boxSide + inner);

    auto* files = new wxFlexGridSizer(2, wxSize(8, 6));
    files->AddGrowableCol(1);
    m_serverFile = AddLabelledText(boxParent, files, "File &Name on Server:", kMaxFieldLength);
    m_serverDir = AddLabelledText(boxParent, files, "File Path on &Server:", kMaxFieldLength);
    files->Add(new wxStaticText(boxParent, wxID_ANY, "Scan File Path/Name on &Local Machine:"), 0,
               wxALIGN_CENTER_VERTICAL);
    auto* localRow = new wxBoxSizer(wxHORIZONTAL);
    m_local = new wxTextCtrl(boxParent, wxID_ANY);
    m_local->SetMaxLength(kMaxFieldLength);
    localRow->Add(m_local, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    m_browse = new wxButton(boxParent, wxID_ANY, "&Browse");
    localRow->Add(m_browse);
    files->Add(localRow, 1, wxEXPAND);
    box->Add(files, 0, wxEXPAND | wxALL, inner);
    top->Add(box, 0, wxEXPAND | wxALL, gap);

    AlignLabels({grid, files});
    m_httpUrl->SetMinSize(wxSize(FromDIP(300), -1));

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_add = new wxButton(this, wxID_ANY, "&Add");
    m_delete = new wxButton(this, wxID_ANY, "&Delete");
    buttons->Add(m_add, 0, wxRIGHT, FromDIP(8));
    buttons->Add(m_delete);
    top->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, gap);
    SetSizer(top);

    m_number->m_onSpin = [this](int to) {
        if (to == m_nCurrent) return true;
        if (!Store()) return false;
        MoveTo(to);
        return true;
    };
    m_number->m_onTyped = [this](bool leaving) { OnTyped(leaving); };
    m_httpUrl->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnHttpChanged(); });
    m_ftpUrl->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnFtpChanged(); });
    m_add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnDelete(); });
    m_browse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CallAfter(&CScanFilePage::OnBrowse); });
}

CScanFilePage::~CScanFilePage() = default;

void CScanFilePage::OnSetActive() {
    if (m_bFirst) {
        m_bFirst = false;
        m_nCount = int(m_doc.m_scanFiles.size());
        if (m_nCount > 0) {
            m_number->SetRange(1, m_nCount);
            MoveTo(1);
        } else {
            ShowNone();
        }
    }
    m_httpUrl->SetFocus();
    m_browse->Enable();
    m_bLive = true;
}

void CScanFilePage::GoTo(int n) {
    if (n >= 1 && n <= m_nCount) MoveTo(n);
}

void CScanFilePage::ShowNone() {
    m_number->SetRange(0, 0);
    m_number->Set(0);
    m_nCurrent = 0;
    m_pCurrent = nullptr;
    m_delete->Disable();
    Show();
    for (wxTextCtrl* t : {m_httpUrl, m_ftpUrl}) t->Enable();
}

void CScanFilePage::MoveTo(int n) {
    m_nCurrent = n;
    m_pCurrent = m_doc.m_scanFiles.FindScanFile(n);
    m_number->Set(n);
    m_delete->Enable(m_pCurrent != nullptr);
    Show();
}

bool CScanFilePage::Store() {
    if (!m_pCurrent) return true;
    const std::string ftp = FromWx(m_ftpUrl->GetValue());
    const std::string http = FromWx(m_httpUrl->GetValue());
    if (!ftp.empty() && !http.empty()) {
        ShowMessageLater(this, "Can't have both an Ftp and Http URL!  Delete one of them.");
        return false;
    }
    if (UrlHasCredentials(ftp) || UrlHasCredentials(http)) {
        ShowMessageLater(this, CredentialsRefusal("User ID:", "Password:"));
        (UrlHasCredentials(ftp) ? m_ftpUrl : m_httpUrl)->SetFocus();
        return false;
    }
    CScanFile& f = *m_pCurrent;
    f.m_bFtp = !ftp.empty();
    f.m_bHttp = !http.empty();
    // With both URL fields empty the scan file is local: an old URL kept here would be written
    // as an HTTP URL and fetched.
    f.m_strUrl = f.m_bFtp ? ftp : http;
    f.m_strServerFile = FromWx(m_serverFile->GetValue());
    f.m_strServerDir = FromWx(m_serverDir->GetValue());
    f.m_strUserPw = FromWx(m_password->GetValue());
    f.m_strUserId = FromWx(m_userId->GetValue());
    SSplitPath local = SplitPath(FromWx(m_local->GetValue()));
    f.m_strName = std::move(local.name);
    f.m_strPath = std::move(local.dir);
    return true;
}

void CScanFilePage::Show() {
    if (!m_pCurrent) {
        for (wxTextCtrl* t :
             {m_httpUrl, m_ftpUrl, m_userId, m_password, m_serverFile, m_serverDir, m_local})
            t->ChangeValue("");
        return;
    }
    const CScanFile& f = *m_pCurrent;
    m_ftpUrl->ChangeValue(f.m_bFtp ? ToWx(f.m_strUrl) : "");
    m_password->ChangeValue(ToWx(f.m_strUserPw));
    m_userId->ChangeValue(ToWx(f.m_strUserId));
    m_httpUrl->ChangeValue(f.m_bHttp ? ToWx(f.m_strUrl) : "");
    const bool neither = !f.m_bFtp && !f.m_bHttp;
    m_httpUrl->Enable(neither || f.m_bHttp);
    m_ftpUrl->Enable(neither || f.m_bFtp);
    m_serverFile->ChangeValue(ToWx(f.m_strServerFile));
    m_serverDir->ChangeValue(ToWx(f.m_strServerDir));
    m_local->ChangeValue(ToWx(JoinPath(f.m_strPath, f.m_strName)));
}

void CScanFilePage::OnTyped(bool leaving) {
    if (!m_bLive) return;
    if (const std::optional<int> to = m_number->TypedMove(
            m_nCurrent, m_nCount, "Can't have a negative or non-integer Scan File Number!",
            [this] { return Store(); }, leaving))
        MoveTo(*to);
}

void CScanFilePage::OnHttpChanged() {
    const bool http = !m_httpUrl->GetValue().empty();
    if (http) m_ftpUrl->ChangeValue("");
    m_ftpUrl->Enable(!http);
}

void CScanFilePage::OnFtpChanged() {
    m_httpUrl->Enable(m_ftpUrl->GetValue().empty());
}

void CScanFilePage::OnAdd() {
    if (!Store()) return;
    CScanFile* added = m_doc.m_scanFiles.AddNewScanFile();
    m_nCount += 1;
    added->m_nNumber = m_nCount;
    m_number->SetRange(1, m_nCount);
    MoveTo(m_nCount);
    m_httpUrl->SetFocus();
}

void CScanFilePage::OnDelete() {
    if (!m_pCurrent) return;
    const int n = m_nCurrent;
    m_doc.m_scanFiles.RemoveScanFile(n);
    m_doc.m_scanVars.RemoveScanFileVars(n);
    m_doc.m_scanVars.RenumberScanFiles(n);
    m_nCount -= 1;
    if (m_nCount > 0) {
        m_number->SetRange(1, m_nCount);
        MoveTo(std::min(n, m_nCount));
    } else {
        ShowNone();
    }
}

void CScanFilePage::OnBrowse() {
    wxFileDialog dialog(this, "Select: Scan File Path/Name", "", "",
                        "All Files (*.*) |*|HTML File (*.htm*) |*.htm*", wxFD_OPEN);
    if (dialog.ShowModal() == wxID_OK) m_local->ChangeValue(dialog.GetPath());
    m_local->SetFocus();
}

}  // namespace kolvane::editor
