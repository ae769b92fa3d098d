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
#include <wx/timer.h>

#include <functional>
#include <memory>

#include "clock.h"
#include "engine.h"
#include "log_model.h"
#include "merge_run.h"
#include "run_host.h"
#include "run_timing.h"

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
    bool OpenedForEditing() const { return m_bOpenedForEditing; }
    void StopTimer();
    bool TimerArmed() const;
    // "&Stop Scheduler's Timer".
    void StopSchedule();
    // The idle-time panes ("Ready", "%d Lines", "Display Frame 1 of 1").
    void ShowLogStatus(bool withPane0 = true);
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
    CRunTiming m_timing;
    std::chrono::steady_clock::time_point m_lastPump;
    wxString m_strNotice;  // shown in pane 0 instead of "Ready" until the next double-click
};

}  // namespace kolvane
