// The document of one log window: one rule file, the preferences as they were when the window
// opened, the stored log lines and the run flags (in CKolvaneDocData, which the engine works
// on). It never reads the rule file itself: the run or the editor does, when it needs it.
#pragma once

#include <wx/docview.h>

#include <string>
#include <vector>

#include "engine/doc_data.h"
#include "settings/settings.h"

namespace kolvane {

class CKolvaneView;

class CKolvaneDoc : public wxDocument {
  public:
    CKolvaneDoc();

    CKolvaneDocData& Data() { return m_data; }
    SPreferences& Prefs() { return m_prefs; }
    std::vector<std::string>& Filters() { return m_filters; }
    CKolvaneView* View() const;

    bool m_bCommandLine = false;  // opened while the program had rule files on its command line
    bool m_bClosing = false;      // the window was allowed to close

    // Sets the rule file (for a window that had none) and the window's title after it.
    void SetRulePath(const std::string& path);

    bool OnNewDocument() override;
    bool OnOpenDocument(const wxString& path) override;
    bool OnSaveDocument(const wxString&) override { return true; }
    // The close guard: a window whose run is on the stack does not close.
    bool OnSaveModified() override;
    bool IsModified() const override { return m_data.m_bModified; }

  private:
    void LoadPreferences();

    CKolvaneDocData m_data;
    SPreferences m_prefs;
    std::vector<std::string> m_filters;
};

}  // namespace kolvane
