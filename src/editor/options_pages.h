// The Options sheet's two pages: Preferences (the external editor, the date style, the case
// matching, the file-name prompt) and Filters (the file-type filters of the rule-file dialogs).
// Each works on the preferences and filters of the active log window's document and writes the
// settings file when it is left.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "editor/my_sheet.h"

class wxButton;
class wxCheckBox;
class wxDataViewListCtrl;
class wxTextCtrl;

namespace kolvane::editor {

// What the pages edit and how they store it.
struct SOptionsTarget {
    std::string* editor;
    int* dateDisplay;
    int* matchCase;
    int* askFileName;
    std::vector<std::string>* filters;
    std::function<void()> savePreferences;  // writes "Editor" (when not the default) and the flags
    std::function<void()> saveFilters;      // writes Filter1..N and removes the rest
};

class CPrefdlg : public CSheetPage {
  public:
    CPrefdlg(wxWindow* parent, SOptionsTarget target);
    void OnSetActive() override;
    bool OnKillActive() override;
    int HelpTopic() const override { return 5008; }

  private:
    void OnBrowse();
    SOptionsTarget m_target;
    wxTextCtrl* m_editor;
    wxButton* m_browse;
    wxCheckBox* m_usDate;
    wxCheckBox* m_matchCase;
    wxCheckBox* m_askFileName;
};

class CFileFilter : public CSheetPage {
  public:
    CFileFilter(wxWindow* parent, SOptionsTarget target);
    void OnSetActive() override;
    bool OnKillActive() override;
    int HelpTopic() const override { return 5007; }

  private:
    bool Check(std::string& line);
    void UpdateButtons();
    void OnAdd(bool replace);
    void OnMove(int by);
    void OnRemove();
    void OnDoubleClick();
    // A list line is "description\tpatterns", shown in two columns.
    void Insert(const wxString& line, int row);
    wxString Line(int row) const;

    SOptionsTarget m_target;
    bool m_bFirst = true;
    wxTextCtrl* m_description;
    wxTextCtrl* m_filter;
    wxDataViewListCtrl* m_list;
    wxButton* m_up;
    wxButton* m_down;
    wxButton* m_add;
    wxButton* m_replace;
    wxButton* m_remove;
};

// The Options sheet, modal, captioned "Kolvane".
void ShowOptionsSheet(wxWindow* parent, SOptionsTarget target, std::function<void(int)> showHelp);

}  // namespace kolvane::editor
