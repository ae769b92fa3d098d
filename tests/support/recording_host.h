// A run host for tests: keeps every call so that tests can assert on log lines, pane texts,
// message boxes, cursor changes, timer calls and credentials prompts.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/run_host.h"

namespace kolvane::test {

class CRecordingHost : public CRunHost {
  public:
    struct SCredentialsAnswer {
        ECredentialsResult result = ECredentialsResult::Cancelled;
        std::string user;
        std::string password;
    };

    void ShowLogLine(std::string_view line) override { lines.emplace_back(line); }
    void SetPaneText(int pane, std::string_view text) override {
        panes[pane] = std::string(text);
        paneHistory.emplace_back(pane, std::string(text));
    }
    void PumpMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    void MessageBox(std::string_view text, EMessageIcon icon) override {
        messages.emplace_back(text);
        icons.push_back(icon);
    }
    void BeginWaitCursor() override {
        ++cursorDepth;
        ++cursorBegins;
    }
    void RestoreWaitCursor() override { ++cursorRestores; }
    void EndWaitCursor() override { --cursorDepth; }
    int ArmScheduleTimer(int eventId) override {
        armedEventId = eventId;
        ++timersArmed;
        return ++nextTimerId;
    }
    void KillScheduleTimer(int timerId) override { killedTimers.push_back(timerId); }
    ECredentialsResult AskCredentials(std::string_view url, std::string& user,
                                      std::string& password) override {
        credentialPrompts.emplace_back(url);
        if (credentialAnswers.empty()) return ECredentialsResult::Cancelled;
        SCredentialsAnswer a = credentialAnswers.front();
        if (credentialAnswers.size() > 1 || !repeatLastAnswer) credentialAnswers.pop_front();
        if (a.result == ECredentialsResult::Success) {
            user = a.user;
            password = a.password;
        }
        return a.result;
    }

    std::vector<std::string> lines;
    std::string panes[3];
    std::vector<std::pair<int, std::string>> paneHistory;
    std::vector<std::string> messages;
    std::vector<EMessageIcon> icons;
    int pumps = 0;
    int cursorDepth = 0;
    int cursorBegins = 0;
    int cursorRestores = 0;
    int armedEventId = 0;
    int timersArmed = 0;
    int nextTimerId = 0;
    std::vector<int> killedTimers;
    std::vector<std::string> credentialPrompts;
    std::deque<SCredentialsAnswer> credentialAnswers;
    bool repeatLastAnswer = false;
    std::function<void()> onPump;
};

}  // namespace kolvane::test
