// CComandPage: the editor's first page, the rule's &command section. Each of the template,
// output and error-log files is one editable path (shown with the editor's JoinPath, taken
// apart with SplitPath); the reschedule interval is a short text with a unit letter.
#pragma once

#include <string>

#include "editor/my_sheet.h"

class wxButton;
class wxTextCtrl;

namespace kolvane {
class CKolvaneDocData;
}

namespace kolvane::editor {

class CComandPage : public CSheetPage {
  public:
    CComandPage(wxWindow* parent, CKolvaneDocData& doc);
    void OnSetActive() override;
    bool OnKillActive() override;
    int HelpTopic() const override { return 5010; }

  private:
    enum class ETarget { None, Template, Output, ErrorLog };
    void Track(wxTextCtrl* field, ETarget target);
    void OnBrowse();

    CKolvaneDocData& m_doc;
    bool m_bFirst = true;
    ETarget m_target = ETarget::Template;
    // The interval as loaded and its text: an untouched field keeps the exact seconds.
    int m_nLoadedInterval = 0;
    std::string m_strLoadedInterval;

    wxTextCtrl* m_template;
    wxTextCtrl* m_output;
    wxButton* m_browse;
    wxTextCtrl* m_errorLog;
    wxTextCtrl* m_url;
    wxTextCtrl* m_userId;
    wxTextCtrl* m_password;
    wxTextCtrl* m_serverDir;
    wxTextCtrl* m_serverFile;
    wxTextCtrl* m_reschedule;
};

}  // namespace kolvane::editor
