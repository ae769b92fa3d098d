// PromptCredentials on a POSIX terminal.
#include "cli/credentials_prompt.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace kolvane {
namespace {

// Reads one line from standard input without the line end; false at end of input or error.
bool ReadLine(std::string& line) {
    line.clear();
    char c = 0;
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 0) return !line.empty();
        if (n < 0) return false;
        if (c == '\n') return true;
        if (c != '\r') line += c;
    }
}

// Turns the terminal's echo off for its lifetime.
class CEchoOff {
  public:
    CEchoOff() {
        if (::tcgetattr(STDIN_FILENO, &m_saved) != 0) return;
        termios quiet = m_saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        m_bChanged = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~CEchoOff() {
        if (m_bChanged) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

  private:
    termios m_saved{};
    bool m_bChanged = false;
};

}  // namespace

ECredentialsResult PromptCredentials(std::string_view url, std::string& user,
                                     std::string& password) {
    if (!::isatty(STDIN_FILENO)) return ECredentialsResult::Cancelled;
    std::fprintf(stderr, "The server asks for a user name and password: %.*s\nUser name: ",
                 static_cast<int>(url.size()), url.data());
    std::fflush(stderr);
    std::string name;
    if (!ReadLine(name) || name.empty()) return ECredentialsResult::Cancelled;
    std::fputs("Password: ", stderr);
    std::fflush(stderr);
    std::string secret;
    bool got;
    {
        CEchoOff quiet;
        got = ReadLine(secret);
    }
    if (!got && secret.empty()) {
        std::fputc('\n', stderr);
        return ECredentialsResult::Cancelled;
    }
    user = name;
    password = secret;
    return ECredentialsResult::Success;
}

}  // namespace kolvane
