// The log window's view: its list, its runs and the run host.
#include "kolvane_view.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <chrono>
#include <exception>
#include <vector>

#include "app_flags.h"
#include "child_frame.h"
#include "credentials_dialog.h"
#include "editor_command.h"
#include "editor_hooks.h"
#include "kolvane_doc.h"
#include "log_printout.h"
#include "scheduler.h"
#include "status_panes.h"
#include "text_ops.h"

namespace kolvane {
namespace {

int ExitStatusFor(ERunResult r) {
    switch (r) {
        case ERunResult::Ok:
            return 0;
        case ERunResult::Failed:
            return 1;
        case ERunResult::Refused:
            return 2;
    }
    return 1;
}

// Whether `program` names something that can be started: a path to an executable file, or a
// name found on PATH. wxExecute forks before it knows, so a missing editor is caught here.
bool CanStart(const std::string& program) {
    wxString name = wxString::FromUTF8(program);
    if (program.find('/') != std::string::npos)
        return wxFileName::IsFileExecutable(name) && !wxDirExists(name);
    wxPathList path;
    path.AddEnvList("PATH");
    wxString found = path.FindAbsoluteValidPath(name);
    return !found.empty() && wxFileName::IsFileExecutable(found);
}

constexpr int kStartTimerId = 101;

constexpr const char* kCloseRefusal =
    "Currently processing files.  Won't CLOSE until processing is COMPLETE!\n"
    "If you wish to abort the merge operation, double click on\n"
    "one of the DISPLAYED lines in the ACTIVE Kolvane window!!!!";

}  // namespace

CKolvaneView::CKolvaneView() {
    m_timer.SetOwner(this, CKolvaneDocData::kTimerEventId);
    Bind(wxEVT_TIMER, &CKolvaneView::OnTimer, this, CKolvaneDocData::kTimerEventId);
    m_startTimer.SetOwner(this, kStartTimerId);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { OnFirstShow(); }, kStartTimerId);
}

CKolvaneView::~CKolvaneView() {
    m_timer.Stop();
    while (m_nWaitCursors > 0) EndWaitCursor();
}

CKolvaneDoc& CKolvaneView::Doc() const {
    return *static_cast<CKolvaneDoc*>(GetDocument());
}

bool CKolvaneView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    auto* parent = wxDynamicCast(wxTheApp->GetTopWindow(), wxMDIParentFrame);
    if (!parent) return false;
    auto* frame = new CChildFrame(doc, this, parent);
    CKolvaneDocData& data = Doc().Data();
    m_engine = std::make_unique<CKolvaneEngine>(data, *this, m_clock);

    m_list = new wxDataViewCtrl(frame, wxID_ANY, wxDefaultPosition, wxSize(400, 300),
                                wxDV_SINGLE | wxDV_NO_HEADER | wxDV_ROW_LINES);
    m_model = new CLogListModel(data.m_log);
    m_list->AssociateModel(m_model.get());
    m_list->AppendTextColumn("Log", 0, wxDATAVIEW_CELL_INERT, 200, wxALIGN_LEFT, 0);
    m_list->Bind(wxEVT_DATAVIEW_ITEM_ACTIVATED, [this](wxDataViewEvent& e) {
        ActivateRow(static_cast<int>(m_model->GetRow(e.GetItem())));
    });
    SetFrame(frame);
    // The list joins the window once the window has a size: GTK complains about a scrolled
    // list laid out in the empty page the window starts as.
    m_list->Hide();
    frame->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        e.Skip();
        if (e.GetSize().GetHeight() >= 40) ShowList();
    });
    frame->Show(true);
    // Nothing runs until the window has been shown and painted: pending calls are handled at
    // idle time, after the paint. The run itself then starts from a timer, because the toolkit
    // handles no idle time (menu bar switching, enabled states) while an idle handler runs.
    CallAfter([this] { m_startTimer.StartOnce(1); });
    return true;
}

void CKolvaneView::ShowList() {
    if (!m_list || m_list->IsShown()) return;
    m_list->Show();
    if (wxWindow* frame = GetFrame()) frame->CallAfter([frame] { frame->SendSizeEvent(); });
}

void CKolvaneView::OnFirstShow() {
    if (m_bFirstShowDone) return;
    m_bFirstShowDone = true;
    ShowList();  // in a window too small to have shown it so far
    LayoutLogList();
    SAppFlags& flags = AppFlags();
    if (flags.m_bNewRuleRequest) {
        flags.m_bNewRuleRequest = false;
        EditorHooks().editNewRule(*this);
    } else if (flags.m_bEditing) {
        EditorHooks().editRule(*this);
        flags.m_bEditing = false;
        m_bOpenedForEditing = true;
    } else if (Doc().Data().m_log.Lines().empty()) {
        StartRun();
        m_bRanFromFirstStart = true;
        wxWakeUpIdle();
    }
}

void CKolvaneView::StartRun() {
    LayoutLogList();
    if (m_bRunStarted) return;
    m_bRunStarted = true;
    CKolvaneDoc& doc = Doc();
    bool editRequest = false;
    if (doc.Data().m_strRulePath.empty()) {
        SRulePrompt answer = EditorHooks().promptRuleFile(*this, "Select a rule file and Run Rule");
        editRequest = answer.m_bEditRequest;
        doc.SetRulePath(answer.m_strPath);
    }
    if (doc.Data().m_strRulePath.empty()) {
        m_engine->AppendLogLine("Kolvane -- No rule file specified!");
    } else if (editRequest) {
        AppFlags().m_bEditing = true;
        EditorHooks().editRule(*this);
        AppFlags().m_bEditing = false;
        return;
    } else {
        wxBusyCursor wait;
        RunGuarded([this] { return RunMerge(*m_engine); });
    }
    LayoutLogList();
}

void CKolvaneView::RunNow() {
    if (RunOnStack()) return;
    m_bRunStarted = true;
    StopTimer();
    wxBusyCursor wait;
    RunGuarded([this] { return RunMerge(*m_engine); });
    LayoutLogList();
}

void CKolvaneView::RunGuarded(const std::function<ERunResult()>& run) {
    m_strNotice.clear();
    ++m_nRunDepth;
    ++AppFlags().m_nRunsOnStack;
    ERunResult result = ERunResult::Failed;
    try {
        result = run();
    } catch (const std::exception& e) {
        // Only a failure of the platform itself (no memory, a library that cannot start) ends
        // up here; the run's own failures are reported where they happen.
        wxMessageBox(wxString::Format("Kolvane: %s", e.what()), "Kolvane", wxOK | wxICON_STOP,
                     GetFrame());
    }
    --AppFlags().m_nRunsOnStack;
    --m_nRunDepth;
    m_timing.Report();
    if (Doc().m_bCommandLine) AppFlags().m_exitStatus = ExitStatusFor(result);
    wxWakeUpIdle();
}

void CKolvaneView::OnTimer(wxTimerEvent& event) {
    CKolvaneDocData& data = Doc().Data();
    const int id = event.GetId();
    if (id != data.m_nTimerId || data.m_cmd.m_nInterval == 0) return;
    if (data.m_nElapsed + 1 < data.m_cmd.m_nInterval) {
        // A countdown tick: one text, no run. Pane 0 shows the active window's countdown, not
        // whichever window ticked last.
        m_bBackgroundTick = GetDocumentManager()->GetCurrentView() != this;
        OnScheduleTimer(*m_engine, id);
        m_bBackgroundTick = false;
        return;
    }
    RunGuarded([this, id] { return OnScheduleTimer(*m_engine, id).value_or(ERunResult::Ok); });
    LayoutLogList();
}

void CKolvaneView::StopTimer() {
    StopScheduleTimer(*m_engine);
}

bool CKolvaneView::TimerArmed() const {
    return Doc().Data().m_nTimerId > 0;
}

void CKolvaneView::StopSchedule() {
    StopSchedulerTimer(*m_engine);
    wxWakeUpIdle();
}

bool CKolvaneView::OnClose(bool deleteWindow) {
    if (!RunOnStack()) StopTimer();
    return wxView::OnClose(deleteWindow);
}

void CKolvaneView::ShowCloseRefusal() {
    if (m_bRefusalPending) return;
    m_bRefusalPending = true;
    CallAfter([this] {
        wxMessageBox(kCloseRefusal, "Kolvane", wxOK | wxICON_INFORMATION, GetFrame());
        m_bRefusalPending = false;
    });
}

void CKolvaneView::ShowLogStatus(bool withPane0) {
    CPaneStatusBar* panes = ThePanes();
    if (!panes) return;
    const CKolvaneDocData& data = Doc().Data();
    if (withPane0 && data.m_cmd.m_nInterval == 0)
        panes->SetPane(0, m_strNotice.empty() ? "Ready" : m_strNotice);
    panes->SetPane(1, wxString::Format("%d Lines", data.m_log.LineCount()));
    panes->SetPane(2, "Display Frame 1 of 1");
    LayoutLogList();
}

void CKolvaneView::LayoutLogList() {
    if (!m_list) return;
    const int chars = Doc().Data().m_log.LongestLine() + 5;
    const int width = std::max(chars * m_list->GetCharWidth(), 200);
    wxDataViewColumn* column = m_list->GetColumn(0);
    if (column && column->GetWidth() != width) column->SetWidth(width);
}

void CKolvaneView::ActivateRow(int row) {
    CKolvaneDocData& data = Doc().Data();
    if (RunOnStack()) {
        // The abort request; the run reads it at its next check.
        data.m_bBusy = false;
        data.m_bAbort = true;
        return;
    }
    OpenLineInEditor(row);
}

void CKolvaneView::OpenLineInEditor(int row) {
    m_strNotice.clear();
    const auto& lines = Doc().Data().m_log.Lines();
    if (row < 0 || static_cast<std::size_t>(row) >= lines.size()) return wxBell();
    auto file = FileOfLogLine(lines[static_cast<std::size_t>(row)]);
    if (!file) return wxBell();
    std::vector<std::string> argv =
        EditorArgv(Doc().Prefs().m_strEditor, ResolvePath(Doc().Data().RuleDirectory(), "", *file));
    if (argv.empty()) return wxBell();
    std::vector<const char*> args;
    for (const auto& a : argv) args.push_back(a.c_str());
    args.push_back(nullptr);
    wxBusyCursor wait;
    if (!CanStart(argv[0]) || wxExecute(args.data(), wxEXEC_ASYNC) <= 0) {
        m_strNotice = "Couldn't start the editor: " + wxString::FromUTF8(CommandText(argv));
        if (CPaneStatusBar* panes = ThePanes()) panes->SetPane(0, m_strNotice);
        wxBell();
    }
}

wxPrintout* CKolvaneView::OnCreatePrintout() {
    return new CLogPrintout(Doc().Data().m_log, Doc().GetUserReadableName());
}

// --- CRunHost ------------------------------------------------------------------------------

void CKolvaneView::ShowLogLine(std::string_view) {
    if (m_timing.Enabled() && !m_bFirstLineTimed) {
        // For the benchmarks: the first line is painted at once and the time since start noted
        // (before the run's own timing starts).
        m_bFirstLineTimed = true;
        m_model->Sync();
        m_list->Update();
        m_timing.ReportSinceStart("first log line painted");
    }
    m_timing.OnLine();
    // The document has stored the line already: the list only learns that it has one more row
    // (or, after the log was emptied, how many it has now).
    m_model->Sync();
}

void CKolvaneView::SetPaneText(int pane, std::string_view text) {
    if (pane == 0 && m_bBackgroundTick) return;
    if (CPaneStatusBar* panes = ThePanes()) panes->SetPane(pane, DisplayText(text));
}

void CKolvaneView::PumpMessages() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (!loop) return;
    // A run pumps between all its steps; the window is kept alive at 50 times a second, which
    // a person cannot tell from every time, and the run is not slowed by redrawing the window
    // for each scan file.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < std::chrono::milliseconds(20)) return;
    // Bounded: a source that is always ready must not keep the run here.
    for (int i = 0; i < 500 && loop->Pending(); ++i) loop->Dispatch();
    if (!wxTheApp) return;
    wxTheApp->ProcessPendingEvents();
    // Asking for pending events takes the toolkit's idle handling out of the loop; what it does
    // (the active window's menu bar, the enabled states of menus and buttons) is done here.
    wxTheApp->ProcessIdle();
    m_lastPump = std::chrono::steady_clock::now();
}

void CKolvaneView::ShowPendingLines() {
    // The lines so far are on the screen before a dialog covers the window.
    m_lastPump = {};
    PumpMessages();
}

void CKolvaneView::MessageBox(std::string_view text, EMessageIcon icon) {
    ShowPendingLines();
    wxMessageBox(DisplayText(text), "Kolvane",
                 wxOK | (icon == EMessageIcon::Stop ? wxICON_STOP : wxICON_INFORMATION),
                 GetFrame());
}

void CKolvaneView::BeginWaitCursor() {
    ++m_nWaitCursors;
    wxBeginBusyCursor();
}

void CKolvaneView::RestoreWaitCursor() {}

void CKolvaneView::EndWaitCursor() {
    if (m_nWaitCursors == 0) return;
    --m_nWaitCursors;
    wxEndBusyCursor();
}

int CKolvaneView::ArmScheduleTimer(int eventId) {
    m_timer.Start(1000);
    return eventId;
}

void CKolvaneView::KillScheduleTimer(int) {
    m_timer.Stop();
}

ECredentialsResult CKolvaneView::AskCredentials(std::string_view url, std::string& user,
                                                std::string& password) {
    ShowPendingLines();
    return AskCredentialsDialog(GetFrame(), DisplayText(url), user, password)
               ? ECredentialsResult::Success
               : ECredentialsResult::Cancelled;
}

}  // namespace kolvane
