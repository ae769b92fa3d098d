// The run host: the one seam between the engine (and the transfer) and the window a run runs
// in. The log window's view, the console runner and the tests' recording host implement it.
// The engine never talks to a display, a terminal or a timer except through this interface.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

enum class EMessageIcon { Plain, Stop };

// Answers of the credentials prompt shown on an HTTP 401.
enum class ECredentialsResult { Success, ForceRetry, Cancelled, Other };

class CRunHost {
  public:
    virtual ~CRunHost() = default;

    // Shows one log line (the document has already stored it when it keeps lines).
    virtual void ShowLogLine(std::string_view line) = 0;
    // Sets the text of status pane 0, 1 or 2.
    virtual void SetPaneText(int pane, std::string_view text) = 0;
    // Dispatches every pending window event, then returns; never waits for one.
    virtual void PumpMessages() = 0;
    // A message box with an OK button.
    virtual void MessageBox(std::string_view text, EMessageIcon icon) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void RestoreWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Arms the one-second schedule timer with the given event id; returns the timer id (not 0).
    virtual int ArmScheduleTimer(int eventId) = 0;
    virtual void KillScheduleTimer(int timerId) = 0;

    // Asks for a user name and a password for `url` after an HTTP 401. On Success the answers
    // are stored in `user` and `password`.
    virtual ECredentialsResult AskCredentials(std::string_view url, std::string& user,
                                              std::string& password) = 0;
};

// A host that shows nothing and answers nothing, for benchmarks and fuzzing; it counts the
// message boxes it was asked to show.
class CNullHost : public CRunHost {
  public:
    void ShowLogLine(std::string_view) override {}
    void SetPaneText(int, std::string_view) override {}
    void PumpMessages() override {}
    void MessageBox(std::string_view, EMessageIcon) override { ++m_nMessages; }
    void BeginWaitCursor() override {}
    void RestoreWaitCursor() override {}
    void EndWaitCursor() override {}
    int ArmScheduleTimer(int) override { return 1; }
    void KillScheduleTimer(int) override {}
    ECredentialsResult AskCredentials(std::string_view, std::string&, std::string&) override {
        return ECredentialsResult::Cancelled;
    }
    int m_nMessages = 0;
};

}  // namespace kolvane
