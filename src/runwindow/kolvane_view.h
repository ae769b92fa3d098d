// The log window's view: the list of the document's log lines, the window's runs, its
// schedule timer, and the run host through which the engine and the transfer reach the window
// (log lines, status panes, the event pump, message boxes, the wait cursor, the credentials
// dialog).
//
// A window is never destroyed while one of its runs is on the stack: every run goes through
// RunGuarded, which counts it, and the document's close guard refuses while the count is not 0.
#pragma once

#include <wx/dataview.h>
#include <wx/docview.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include <functional>
#include <memory>
#include <optional>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/run_host.h"
#include "run/change_watch.h"
#include "run/merge_run.h"
#include "run/run_timing.h"
#include "runwindow/log_model.h"

namespace kolvane {

class CKolvaneDoc;

class CKolvaneView : public wxView, public CRunHost {
  public:
    CKolvaneView();
    ~CKolvaneView() override;

    CKolvaneDoc& Doc() const;
    CKolvaneEngine& Engine() { return *m_engine; }
    wxDataViewCtrl* List() const { return m_list; }

    // The first start of the window: run the rule, or hand over to the editor.
    void OnFirstShow();
    // Runs the rule once per window (the first start), asking for a rule file when the window
    // has none.
    void StartRun();
    // Runs the loaded rule again in this window (the editor's "run now"); refused while a run
    // of this window is on the stack.
    void RunNow();

    bool RunOnStack() const { return m_nRunDepth > 0; }
    bool RanFromFirstStart() const { return m_bRanFromFirstStart; }
    // The last run failed (or was aborted) and no run has been made since.
    bool LastRunFailed() const { return m_lastResult && *m_lastResult != ERunResult::Ok; }
    std::optional<ERunResult> LastResult() const { return m_lastResult; }
    // A window of the command line whose run failed stays open for the user to see it; the
    // program then ends when the user closes it (an abort or a refused rule end it at once).
    bool HeldOpenForFailure() const;
    // The abort request (a double-click, Return or Esc during a run).
    void RequestAbort();
    // The window's title (its tab) and the log list's accessible name after the rule file and
    // the last run's outcome.
    void UpdateTitle();
    bool OpenedForEditing() const { return m_bOpenedForEditing; }
    void StopTimer();
    bool TimerArmed() const;
    // "&Stop Scheduler's Timer".
    void StopSchedule();
    // "Run on Change": the window runs its rule again whenever the template or a local scan
    // file changes (the watch starts with the next run when no rule is loaded yet).
    bool RunOnChange() const { return m_watch != nullptr; }
    // Not after an abort, which emptied the window's rule.
    bool CanRunOnChange() const { return !m_bUserAbort; }
    void SetRunOnChange(bool on);
    // The idle-time panes: pane 0 the window's state (the countdown, "Ready", a failed run of
    // the command line), "%d Lines" with the lines shown, "Display Frame 1 of 1".
    void ShowLogStatus();
    void ShowCloseRefusal();
    // Double-click on a row: the abort request while a run is on the stack, else the editor.
    void ActivateRow(int row);
    void OpenLineInEditor(int row);
    void LayoutLogList();

    // wxView
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC*) override {}
    bool OnClose(bool deleteWindow) override;
    void OnUpdate(wxView*, wxObject*) override {}
    wxPrintout* OnCreatePrintout() override;

    // CRunHost
    void ShowLogLine(std::string_view line) override;
    void SetPaneText(int pane, std::string_view text) override;
    void PumpMessages() override;
    void MessageBox(std::string_view text, EMessageIcon icon) override;
    void BeginWaitCursor() override;
    void RestoreWaitCursor() override;
    void EndWaitCursor() override;
    int ArmScheduleTimer(int eventId) override;
    void KillScheduleTimer(int timerId) override;
    ECredentialsResult AskCredentials(std::string_view url, std::string& user,
                                      std::string& password) override;

  private:
    void RunGuarded(const std::function<ERunResult()>& run);
    void OnTimer(wxTimerEvent& event);
    void ShowPendingLines();
    void ShowList();
    // Tells the list about the lines stored since the last time, in one go: a run stores lines
    // far faster than a screen reader can take one announcement each.
    void FlushRows();
    void OnListKey(wxKeyEvent& event);
    void WatchScrolling();
    // The watch's files, again after each run (a run may have loaded or replaced them).
    void Rewatch();
    void OnWatchEvents();
    void ArmChangeTimer();

    CSystemClock m_clock;
    std::unique_ptr<CKolvaneEngine> m_engine;
    wxObjectDataPtr<CLogListModel> m_model;
    wxDataViewCtrl* m_list = nullptr;
    wxTimer m_timer;
    wxTimer m_startTimer;  // the first start, outside the idle handling that showed the window
    int m_nRunDepth = 0;
    int m_nWaitCursors = 0;
    bool m_bFirstShowDone = false;
    bool m_bRunStarted = false;
    bool m_bRanFromFirstStart = false;
    bool m_bOpenedForEditing = false;
    bool m_bRefusalPending = false;
    bool m_bFirstLineTimed = false;
    bool m_bBackgroundTick = false;  // a countdown tick of a window that is not the active one
    bool m_bRowsPending = false;
    bool m_bFollow = true;      // the list is scrolled to its end: new lines scroll into view
    void* m_pScroll = nullptr;  // the list's vertical scroll position (a GtkAdjustment)
    unsigned long m_nScrollHandler = 0;
    bool m_bUserAbort = false;
    std::optional<ERunResult> m_lastResult;
    CRunTiming m_timing;
    std::chrono::steady_clock::time_point m_lastPump, m_lastShown;
    wxString m_strNotice;  // shown in pane 0 instead of "Ready" until the next double-click
    // Run on change: the watch, the event loop's source for its descriptor, the pacing and
    // the timer of the next run.
    std::unique_ptr<CChangeWatch> m_watch;
    std::unique_ptr<wxEventLoopSourceHandler> m_pWatchHandler;
    wxEventLoopSource* m_pWatchSource = nullptr;
    CChangePacer m_pacer;
    wxTimer m_changeTimer;
};

}  // namespace kolvane
