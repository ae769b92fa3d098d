// The console host of kolvane-run: log lines to standard output, one per line; message-box
// texts to standard error; the status panes as one refreshed line on standard error, only when
// standard error is a terminal. Signals reach the run through PumpMessages (see signals.h).
#pragma once

#include <functional>
#include <string>

#include "engine/run_host.h"
#include "run/run_timing.h"

namespace kolvane {

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
