// The log window's view: its list, its runs and the run host.
#include "runwindow/kolvane_view.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <vector>

#include "editor/wx_text.h"
#include "engine/text_ops.h"
#include "run/scheduler.h"
#include "runwindow/app_flags.h"
#include "runwindow/child_frame.h"
#include "runwindow/credentials_dialog.h"
#include "runwindow/editor_command.h"
#include "runwindow/editor_hooks.h"
#include "runwindow/kolvane_doc.h"
#include "runwindow/log_printout.h"
#include "runwindow/status_panes.h"
#include "settings/settings.h"
#include "widgets/accessible.h"
#include "widgets/gtk_symbols.h"

namespace kolvane {
namespace {

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
constexpr int kChangeTimerId = 102;

// Hands the change watch's readable descriptor to the view, from the event loop.
class CWatchHandler : public wxEventLoopSourceHandler {
  public:
    explicit CWatchHandler(std::function<void()> ready) : m_ready(std::move(ready)) {}
    void OnReadWaiting() override { m_ready(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

  private:
    std::function<void()> m_ready;
};

constexpr const char* kRunFailed = "Run failed: see the error log";

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
    m_changeTimer.SetOwner(this, kChangeTimerId);
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            if (!m_watch) return;
            // Not inside another run's message pump, nor under the rule editor: a little later.
            if (AppFlags().m_nRunsOnStack > 0 || AppFlags().m_bEditing) {
                m_changeTimer.StartOnce(250);
                return;
            }
            if (!m_pacer.Due(std::chrono::steady_clock::now())) return ArmChangeTimer();
            RunGuarded([this] { return RunMerge(*m_engine, ERunKind::OnChange); });
            LayoutLogList();
        },
        kChangeTimerId);
}

CKolvaneView::~CKolvaneView() {
    SetRunOnChange(false);
    m_timer.Stop();
    if (m_pScroll) {
        gtk::Symbols().signal_handler_disconnect(m_pScroll, m_nScrollHandler);
        gtk::Symbols().object_unref(m_pScroll);
    }
    while (m_nWaitCursors > 0) EndWaitCursor();
}

CKolvaneDoc& CKolvaneView::Doc() const {
    return *static_cast<CKolvaneDoc*>(GetDocument());
}

bool CKolvaneView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    auto* parent = dynamic_cast<wxMDIParentFrame*>(wxTheApp->GetTopWindow());
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
    m_list->Bind(wxEVT_CHAR_HOOK, &CKolvaneView::OnListKey, this);
    // The window's own client area would take the focus from Tab, as an unnamed panel: Tab goes
    // from the tab strip to the list instead, and from the list on.
    frame->SetCanFocus(false);
    WatchScrolling();
    SetFrame(frame);
    SetAccessibleName(m_list, "Log of " + doc->GetUserReadableName());
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
        if (!m_bUserAbort && settings::LoadRunOnChange(doc.Data().m_strRulePath))
            SetRunOnChange(true);
    }
    LayoutLogList();
}

void CKolvaneView::SetRunOnChange(bool on) {
    if (on == RunOnChange() || (on && !CanRunOnChange())) return;
    if (!on) {
        delete m_pWatchSource;  // leaves the event loop
        m_pWatchSource = nullptr;
        m_watch.reset();
        m_changeTimer.Stop();
        m_pacer = CChangePacer();
        return;
    }
    auto watch = std::make_unique<CChangeWatch>();
    if (!watch->Ok()) {
        m_engine->AppendLogLine("Run on Change: cannot watch for changes: " + watch->Error());
        return;
    }
    m_watch = std::move(watch);
    if (!m_pWatchHandler)
        m_pWatchHandler = std::make_unique<CWatchHandler>([this] { OnWatchEvents(); });
    m_pWatchSource =
        wxEventLoopBase::AddSourceForFD(m_watch->Fd(), m_pWatchHandler.get(), wxEVENT_SOURCE_INPUT);
    if (!m_pWatchSource) {
        m_watch.reset();
        m_engine->AppendLogLine("Run on Change: the event loop cannot watch for changes");
        return;
    }
    Rewatch();
}

void CKolvaneView::Rewatch() {
    // A folder that cannot be watched (missing) is tried again after the next run.
    if (m_watch) m_watch->Watch(WatchedFiles(*m_engine));
}

void CKolvaneView::OnWatchEvents() {
    if (!m_watch || !m_watch->Drain()) return;
    m_pacer.Changed(std::chrono::steady_clock::now());
    ArmChangeTimer();
}

void CKolvaneView::ArmChangeTimer() {
    const auto due = m_pacer.DueAt();
    if (!due) return;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
        *due - std::chrono::steady_clock::now());
    m_changeTimer.StartOnce(std::max(1, int(wait.count()) + 1));
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
    // The run's first rows reach the screen 100 ms in, or when it ends: a run of a few files
    // is not slowed by a redraw.
    m_lastShown = std::chrono::steady_clock::now();
    const int seriousBefore = m_engine->SeriousEntries();
    ++m_nRunDepth;
    ++AppFlags().m_nRunsOnStack;
    m_pacer.Ran(std::chrono::steady_clock::now());  // the run reads every change seen so far
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
    // A run that wrote entries the next runs cannot do without (a scan file excluded, a step
    // that could not go on) says so in its last line, which opens the error log.
    if (const int problems = m_engine->SeriousEntries() - seriousBefore; problems > 0)
        m_engine->AppendLogLine(wxString::Format("**** %d problem%s written to the error log - "
                                                 "see error log ****",
                                                 problems, problems == 1 ? "" : "s")
                                    .ToStdString());
    if (m_bUserAbort) {
        // The user stopped the window: no countdown to a run that could only report the abort
        // again. A window of the command line then ends the program (status 1).
        StopSchedulerTimer(*m_engine);
        SetRunOnChange(false);
        result = ERunResult::Failed;
    }
    Rewatch();
    m_lastResult = result;
    FlushRows();
    m_timing.Report();
    if (Doc().m_bCommandLine) AppFlags().m_exitStatus = ExitStatusFor(result);
    UpdateTitle();
    wxWakeUpIdle();
}

bool CKolvaneView::HeldOpenForFailure() const {
    return Doc().m_bCommandLine && m_bRanFromFirstStart && !RunOnStack() && !m_bUserAbort &&
           m_lastResult == ERunResult::Failed && Doc().Data().m_cmd.m_nInterval == 0;
}

void CKolvaneView::UpdateTitle() {
    wxWindow* frame = GetFrame();
    if (!frame || !m_list) return;
    const wxString name = Doc().GetUserReadableName();
    const wxString title = LastRunFailed() ? name + " (failed)" : name;
    if (frame->GetLabel() != title) frame->SetLabel(title);
    SetAccessibleName(m_list, "Log of " + name);
}

void CKolvaneView::RequestAbort() {
    // Only flags: the run reads them at its next check.
    CKolvaneDocData& data = Doc().Data();
    data.m_bBusy = false;
    data.m_bAbort = true;
    m_bUserAbort = true;
}

void CKolvaneView::OnListKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && !event.HasAnyModifiers()) {
        // Return does what a double-click does, on the selected row.
        const wxDataViewItem item = m_list->GetSelection();
        return ActivateRow(item.IsOk() ? static_cast<int>(m_model->GetRow(item)) : -1);
    }
    event.Skip();
}

void CKolvaneView::WatchScrolling() {
#ifdef __WXGTK__
    const gtk::SSymbols& s = gtk::Symbols();
    void* tree = m_list->GtkGetTreeView();
    if (!gtk::IsA(tree, s.scrollable_get_type)) return;
    void* scroll = s.scrollable_get_vadjustment(tree);
    if (!scroll) return;
    m_pScroll = s.object_ref(scroll);
    // The list follows new lines while it is scrolled to its end; a person who scrolls up stops
    // that, and scrolling back to the end starts it again. Appending lines moves the end, not the
    // position, so it does not count as scrolling.
    void (*moved)(void*, void*) = [](void* a, void* self) {
        const gtk::SSymbols& g = gtk::Symbols();
        static_cast<CKolvaneView*>(self)->m_bFollow =
            g.adjustment_get_value(a) + g.adjustment_get_page_size(a) >=
            g.adjustment_get_upper(a) - 2;
    };
    m_nScrollHandler = s.signal_connect_data(scroll, "value-changed",
                                             reinterpret_cast<void (*)()>(moved), this, nullptr, 0);
#endif
}

void CKolvaneView::FlushRows() {
    if (!m_bRowsPending || !m_model) return;
    m_bRowsPending = false;
    const bool follow = m_bFollow;
    m_model->Sync();
    const unsigned int rows = m_model->GetCount();
    if (follow && rows > 0 && m_list->IsShown()) m_list->EnsureVisible(m_model->GetItem(rows - 1));
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
    DisarmScheduleTimer(*m_engine);
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

void CKolvaneView::ShowLogStatus() {
    FlushRows();
    CPaneStatusBar* panes = ThePanes();
    if (!panes) return;
    const CKolvaneDocData& data = Doc().Data();
    // The window's own state, whatever the last run left in the panes.
    if (TimerArmed() && data.m_cmd.m_nInterval > 0)
        panes->SetPane(0, CountdownText(data.m_cmd.m_nInterval - data.m_nElapsed));
    else if (HeldOpenForFailure())
        panes->SetPane(0, kRunFailed);
    else
        panes->SetPane(0, m_strNotice.empty() ? "Ready" : m_strNotice);
    // The lines the list shows (an abort keeps counting lines it no longer shows).
    panes->SetPane(1, wxString::Format("%d Lines", static_cast<int>(data.m_log.Lines().size())));
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
    if (RunOnStack()) return RequestAbort();
    OpenLineInEditor(row);
}

void CKolvaneView::OpenLineInEditor(int row) {
    m_strNotice.clear();
    const auto& lines = Doc().Data().m_log.Lines();
    if (row < 0 || static_cast<std::size_t>(row) >= lines.size()) return wxBell();
    const std::string_view line = lines[static_cast<std::size_t>(row)];
    std::optional<std::string> file;
    if (LineNamesErrorLog(line)) {
        const CCommandSection& cmd = Doc().Data().m_cmd;
        if (!cmd.m_strErrorLogName.empty())
            file = JoinPath(cmd.m_strErrorLogPath, cmd.m_strErrorLogName);
    } else {
        file = FileOfLogLine(line);
    }
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
        m_bRowsPending = true;
        FlushRows();
        m_list->Update();
        m_timing.ReportSinceStart("first log line painted");
    }
    m_timing.OnLine();
    // The document has stored the line already; the list learns of it at the next pump.
    m_bRowsPending = true;
}

void CKolvaneView::SetPaneText(int pane, std::string_view text) {
    if (pane == 0 && m_bBackgroundTick) return;
    if (CPaneStatusBar* panes = ThePanes()) panes->SetPane(pane, ToWx(text));
}

void CKolvaneView::PumpMessages() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (!loop) return;
    // A run pumps between all its steps; the window answers 50 times a second, which a person
    // cannot tell from every time. New rows and pane texts reach the screen 10 times a second:
    // each time costs a redraw of the list and the status bar, several milliseconds on a
    // screen without a graphics processor, and a run of a few files would spend a third of its
    // time redrawing.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < std::chrono::milliseconds(20)) return;
    if (now - m_lastShown >= std::chrono::milliseconds(100)) {
        m_lastShown = now;
        FlushRows();
        if (CPaneStatusBar* panes = ThePanes()) panes->Flush();
    }
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
    m_lastPump = m_lastShown = {};
    PumpMessages();
}

void CKolvaneView::MessageBox(std::string_view text, EMessageIcon icon) {
    ShowPendingLines();
    wxMessageBox(ToWx(text), "Kolvane",
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
    // A run on change during the countdown leaves the countdown's second as it was.
    if (!m_timer.IsRunning()) m_timer.Start(1000);
    return eventId;
}

void CKolvaneView::KillScheduleTimer(int) {
    m_timer.Stop();
}

ECredentialsResult CKolvaneView::AskCredentials(std::string_view url, std::string& user,
                                                std::string& password) {
    ShowPendingLines();
    return AskCredentialsDialog(GetFrame(), ToWx(url), user, password)
               ? ECredentialsResult::Success
               : ECredentialsResult::Cancelled;
}

}  // namespace kolvane
