// The console host of kolvane-run: log lines to standard output, one per line; message-box
// texts to standard error; the status panes as one refreshed line on standard error, only when
// standard error is a terminal. Signals reach the run through PumpMessages: the handler the
// command installs (CatchSignals) only notes a signal, and the command's m_onPump acts on it.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "engine/run_host.h"
#include "run/run_timing.h"

namespace kolvane {

// Sends each of `signals` to `handler` without restarting the call it interrupts (a countdown's
// sleep wakes at once), and ignores SIGXFSZ: a file-size limit then makes a write fail, and the
// failure is reported, instead of ending the program.
void CatchSignals(void (*handler)(int), std::initializer_list<int> signals);

class CConsoleHost : public CRunHost {
  public:
    CConsoleHost();
    ~CConsoleHost() override;

    void ShowLogLine(std::string_view line) override;
    void SetPaneText(int pane, std::string_view text) override;
    void PumpMessages() override;
    void MessageBox(std::string_view text, EMessageIcon icon) override;
    void BeginWaitCursor() override {}
    void RestoreWaitCursor() override {}
    void EndWaitCursor() override {}
    int ArmScheduleTimer(int eventId) override;
    void KillScheduleTimer(int timerId) override;
    ECredentialsResult AskCredentials(std::string_view url, std::string& user,
                                      std::string& password) override;

    bool TimerArmed() const { return m_nTimerId != 0; }
    // Called by PumpMessages: the runner turns pending signals into abort requests there.
    std::function<void()> m_onPump;
    // Removes the status line from the terminal (before the program exits).
    void ClearStatusLine();
    CRunTiming m_timing;

  private:
    void DrawStatusLine();

    bool m_bStatusTty;
    bool m_bStatusShown = false;
    std::string m_panes[3];
    int m_nTimerId = 0;
};

}  // namespace kolvane
