// CScanFilePage: the editor's second page. It shows one scan file at a time, chosen by its
// number, with where it comes from (local path, or an FTP or HTTP server), and adds and deletes
// scan files; deleting one deletes its variables and renumbers the rest.
#pragma once

#include <memory>

#include "editor/my_sheet.h"

class wxButton;
class wxTextCtrl;

namespace kolvane {
class CKolvaneDocData;
class CScanFile;
}  // namespace kolvane

namespace kolvane::editor {

class CNumberField;

class CScanFilePage : public CSheetPage {
  public:
    CScanFilePage(wxWindow* parent, CKolvaneDocData& doc);
    ~CScanFilePage() override;
    void OnSetActive() override;
    bool OnKillActive() override { return Store(); }
    int HelpTopic() const override { return 5011; }
    // Shows scan file `n` (after a failed save check).
    void GoTo(int n);

  private:
    bool Store();
    void Show();
    void MoveTo(int n);
    void ShowNone();  // no scan file: number 0, empty fields
    void OnTyped(bool leaving);
    void OnHttpChanged();
    void OnFtpChanged();
    void OnAdd();
    void OnDelete();
    void OnBrowse();

    CKolvaneDocData& m_doc;
    CScanFile* m_pCurrent = nullptr;
    int m_nCount = 0;
    int m_nCurrent = 0;
    bool m_bFirst = true;
    bool m_bLive = false;

    std::unique_ptr<CNumberField> m_number;
    wxTextCtrl* m_httpUrl;
    wxTextCtrl* m_ftpUrl;
    wxTextCtrl* m_userId;
    wxTextCtrl* m_password;
    wxTextCtrl* m_serverFile;
    wxTextCtrl* m_serverDir;
    wxTextCtrl* m_local;
    wxButton* m_browse;
    wxButton* m_add;
    wxButton* m_delete;
};

}  // namespace kolvane::editor
