// The editor's flow from opening to clean-up (see edit_rule_file.h).
#include "editor/edit_rule_file.h"

#include <wx/bookctrl.h>
#include <wx/msgdlg.h>

#include <vector>

#include "engine/clock.h"
#include "editor/command_page.h"
#include "editor/editor_host.h"
#include "engine/engine.h"
#include "editor/my_sheet.h"
#include "editor/page_layout.h"
#include "editor/round_trip.h"
#include "editor/rule_file_dialog.h"
#include "editor/scan_file_page.h"
#include "editor/scan_var_page.h"

namespace kolvane::editor {
namespace {

void EmptyModel(CKolvaneDocData& doc) {
    doc.m_scanFiles.RemoveAllScanFiles();
    doc.m_scanVars.RemoveAllVars();
}

// Reads the document's rule file in the reader's tolerant editor mode; false (and one log line)
// when it cannot be read or parsed.
bool ReadForEditing(IEditorHost& host, CRunHost& runHost) {
    CKolvaneDocData& doc = host.Data();
    CSystemClock clock;
    CKolvaneEngine engine(doc, runHost, clock);
    engine.m_bEditing = true;
    if (!engine.ReadRuleFile()) {
        host.AppendLogLine("**** Error Reading Rule File -> " + doc.m_strRulePath +
                           " ****     Application Terminated!");
        return false;
    }
    const int parsed = engine.ParseRuleFile();
    engine.ReleaseRuleText();
    if (!parsed) {
        EmptyModel(doc);
        host.AppendLogLine("**** Error in Rule File -> " + doc.m_strRulePath +
                           " ****     Application Terminated!");
        return false;
    }
    return true;
}

// A copy of the document's model, put back when the sheet is cancelled.
struct SModelCopy {
    explicit SModelCopy(const CKolvaneDocData& doc) : cmd(doc.m_cmd) {
        for (const auto& f : doc.m_scanFiles) files.push_back(*f);
        for (const auto& v : doc.m_scanVars) vars.push_back(*v);
    }
    void Restore(CKolvaneDocData& doc) const {
        EmptyModel(doc);
        doc.m_cmd = cmd;
        for (const CScanFile& f : files) *doc.m_scanFiles.AddNewScanFile() = f;
        for (const CScanVar& v : vars) *doc.m_scanVars.AddNewVar() = v;
    }
    CCommandSection cmd;
    std::vector<CScanFile> files;
    std::vector<CScanVar> vars;
};

}  // namespace

void EditRuleFile(IEditorHost& host, CRunHost& runHost, bool createNew) {
    CKolvaneDocData& doc = host.Data();
    const SModelCopy before(doc);
    // The model is the editor's alone while it is open: whatever a run left is dropped.
    EmptyModel(doc);
    if (createNew)
        doc.m_cmd = CCommandSection();
    else if (!ReadForEditing(host, runHost)) {
        before.Restore(doc);
        return;
    }

    const wxString caption =
        createNew ? wxString("Creating New Rule File") : "Editing - " + ToWx(doc.m_strRulePath);
    CMySheet sheet(host.Window(), caption, [&host](int topic) { host.ShowHelp(topic); });
    wxWindow* book = sheet.GetBookCtrl();
    auto* command = new CComandPage(book, doc);
    auto* scanFile = new CScanFilePage(book, doc);
    auto* scanVar = new CScanVarPage(book, doc);
    sheet.AddSheetPage(command, "Command Section");
    sheet.AddSheetPage(scanFile, "Scan File Command Section Info");
    sheet.AddSheetPage(scanVar, "Scan File Scan Variable Info");
    sheet.m_onOk = [&] {
        const std::optional<SRoundTripFault> fault = CheckRoundTrip(doc);
        if (!fault) return true;
        sheet.SelectPage(int(fault->page));
        if (fault->page == EEditorPage::ScanFile) scanFile->GoTo(fault->scanFile);
        if (fault->page == EEditorPage::ScanVar) scanVar->GoTo(fault->scanFile, fault->varNo);
        ShowMessageLater(&sheet, ToWx(fault->message));
        return false;
    };
    // The file is named and written while the sheet is still open: a cancelled save dialog or
    // a failed write leaves the user on the sheet with everything as it was.
    bool asked = false;
    sheet.m_onSave = [&] {
        std::string path = doc.m_strRulePath;
        if (path.empty() || host.AskFileName() || asked) {
            if (!PromptRuleFileName(host, path, false) || path.empty()) return false;
            asked = true;
        }
        const std::string previous = doc.m_strRulePath;
        doc.m_strRulePath = path;
        CSystemClock clock;
        CKolvaneEngine engine(doc, runHost, clock);
        if (engine.WriteRuleFile() != 0) {
            host.SetRulePath(path);
            return true;
        }
        doc.m_strRulePath = previous;
        // The writer reports to the error log, which is not open while editing.
        wxMessageBox("Couldn't write the rule file " + ToWx(path) +
                         "!\nThe rule was not saved; the editor stays open.",
                     "Kolvane", wxOK | wxICON_HAND, &sheet);
        asked = true;  // the next OK asks for a name again
        return false;
    };
    sheet.Finish();
    const bool written = sheet.ShowModal() == wxID_OK;

    if (!written) {
        before.Restore(doc);
        host.Repaint();
        return;
    }
    EmptyModel(doc);
    const bool run = wxMessageBox("Run the Rule file NOW!", "Kolvane", wxYES_NO | wxICON_NONE,
                                  host.Window()) == wxYES;
    if (run)
        host.RunSavedRule();
    else
        host.Repaint();
}

}  // namespace kolvane::editor
