// The log window's document: preferences at creation, the rule path, the close guard.
#include "runwindow/kolvane_doc.h"

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include "runwindow/app_flags.h"
#include "runwindow/kolvane_view.h"

namespace kolvane {

SAppFlags& AppFlags() {
    static SAppFlags flags;
    return flags;
}

CKolvaneDoc::CKolvaneDoc() : m_data(AppFlags().m_nLineLimit) {}

CKolvaneView* CKolvaneDoc::View() const {
    return dynamic_cast<CKolvaneView*>(GetFirstView());
}

void CKolvaneDoc::LoadPreferences() {
    m_prefs = settings::LoadPreferences();
    m_filters = settings::LoadFilters();
    m_data.m_nDateDisplay = m_prefs.m_nDateDisplay;
}

bool CKolvaneDoc::OnNewDocument() {
    if (!wxDocument::OnNewDocument()) return false;
    LoadPreferences();
    return true;
}

bool CKolvaneDoc::OnOpenDocument(const wxString& path) {
    LoadPreferences();
    if (AppFlags().m_bCommandLine) m_bCommandLine = true;
    SetRulePath(std::string(path.utf8_str()));
    return true;
}

void CKolvaneDoc::SetRulePath(const std::string& path) {
    m_data.m_strRulePath = path;
    if (path.empty()) return;
    // The title first: the views take it when they are told of the new file name.
    SetTitle(wxFileName(wxString::FromUTF8(path)).GetFullName());
    SetFilename(wxString::FromUTF8(path), true);
    UpdateAllViews();
    if (CKolvaneView* view = View()) view->UpdateTitle();
}

bool CKolvaneDoc::OnSaveModified() {
    CKolvaneView* view = View();
    if (view && view->RunOnStack()) {
        // Shown after the close request has been answered, so a close that came from a menu or
        // from the accessibility interface returns at once.
        view->ShowCloseRefusal();
        return false;
    }
    m_bClosing = true;
    if (view) view->StopTimer();
    if (view && view->HeldOpenForFailure()) {
        // The user has seen the failure: the program ends with the run's status.
        AppFlags().m_bHeldWindowClosed = true;
        AppFlags().m_exitStatus = 1;
    }
    return true;
}

}  // namespace kolvane
