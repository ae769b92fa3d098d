// CScanVarPage: the editor's third page. The user picks a scan file and one of its variables by
// number and edits the variable's name and definition: a line-column range, a character
// pattern match, or the whole file. Under the definition, "Value now:" shows what it extracts
// from the scan file's local copy at this moment, or why it extracts nothing.
#pragma once

#include <memory>
#include <string>

#include "editor/my_sheet.h"
#include "editor/var_definition.h"

class wxButton;
class wxCheckBox;
class wxTextCtrl;

namespace kolvane {
class CKolvaneDocData;
class CScanFile;
class CScanVar;
}  // namespace kolvane

namespace kolvane::editor {

class CNumberField;

class CScanVarPage : public CSheetPage {
  public:
    CScanVarPage(wxWindow* parent, CKolvaneDocData& doc);
    ~CScanVarPage() override;
    void OnSetActive() override;
    bool OnKillActive() override { return Store(); }
    int HelpTopic() const override { return 5012; }
    // Shows variable `varNo` of scan file `scanFile` (after a failed save check).
    void GoTo(int scanFile, int varNo);

  private:
    bool ReadFields(SVarFields& f);
    bool Store();
    void ShowScanFile();
    void ShowVar();
    void SelectScanFile(int n);
    void SelectVar(int n);
    void SetDefinitionEnabled(const SVarEnabled& e);
    void OnScanFileTyped(bool leaving);
    void OnVarTyped(bool leaving);
    void OnRuleChanged();
    void OnStyleChosen(bool lineColumn);
    void OnClear();
    void OnAdd();
    void OnDelete();
    void UpdateValueNow();

    CKolvaneDocData& m_doc;
    CScanFile* m_pFile = nullptr;
    int m_nFileCount = 0;
    int m_nFile = 0;
    CScanVar* m_pVar = nullptr;
    int m_nVarCount = 0;
    int m_nVar = 0;
    bool m_bLive = false;
    bool m_bCleared = false;
    bool m_bAdding = false;

    std::unique_ptr<CNumberField> m_fileNumber;
    wxTextCtrl* m_siteUrl;
    wxCheckBox* m_ftp;
    wxCheckBox* m_http;
    wxTextCtrl* m_localName;
    std::unique_ptr<CNumberField> m_varNumber;
    wxTextCtrl* m_name;
    wxTextCtrl* m_startLine;
    wxTextCtrl* m_startCol;
    wxTextCtrl* m_endLine;
    wxTextCtrl* m_endCol;
    wxTextCtrl* m_startPattern;
    wxTextCtrl* m_rule;
    wxTextCtrl* m_endPattern;
    wxTextCtrl* m_instance;
    wxTextCtrl* m_valueNow;
    wxTextCtrl* m_written;  // the variable's line as the save writes it
    wxButton* m_clear;
    wxButton* m_add;
    wxButton* m_delete;
};

}  // namespace kolvane::editor
