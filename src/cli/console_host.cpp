// The console host.
#include "cli/console_host.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/credentials_prompt.h"

namespace kolvane {

void CatchSignals(void (*handler)(int), std::initializer_list<int> signals) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART
    for (const int sig : signals) sigaction(sig, &sa, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

CConsoleHost::CConsoleHost() : m_bStatusTty(::isatty(STDERR_FILENO) == 1) {}

CConsoleHost::~CConsoleHost() {
    ClearStatusLine();
}

void CConsoleHost::ClearStatusLine() {
    if (m_bStatusShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_bStatusShown = false;
    }
}

void CConsoleHost::ShowLogLine(std::string_view line) {
    m_timing.OnLine();
    ClearStatusLine();
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (m_bStatusTty) DrawStatusLine();
}

void CConsoleHost::SetPaneText(int pane, std::string_view text) {
    if (pane < 0 || pane > 2) return;
    m_panes[pane] = std::string(text);
    if (m_bStatusTty) DrawStatusLine();
}

void CConsoleHost::DrawStatusLine() {
    std::string line;
    for (const auto& p : m_panes) {
        if (p.empty() || p == " ") continue;
        if (!line.empty()) line += "  |  ";
        line += p;
    }
    std::fputs("\r\033[K", stderr);
    // Keep the status on one terminal line.
    if (line.size() > 150) line = line.substr(0, 147) + "...";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    m_bStatusShown = !line.empty();
}

void CConsoleHost::PumpMessages() {
    if (m_onPump) m_onPump();
}

void CConsoleHost::MessageBox(std::string_view text, EMessageIcon) {
    ClearStatusLine();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

int CConsoleHost::ArmScheduleTimer(int) {
    m_nTimerId = 1;
    return m_nTimerId;
}

void CConsoleHost::KillScheduleTimer(int) {
    m_nTimerId = 0;
}

ECredentialsResult CConsoleHost::AskCredentials(std::string_view url, std::string& user,
                                                std::string& password) {
    ClearStatusLine();
    return PromptCredentials(url, user, password);
}

}  // namespace kolvane
