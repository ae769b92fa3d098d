// Runs kolvane-run as a child process with its standard output and error captured, so that
// black-box tests can wait for a line, send a signal, and collect the exit status.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane::test {

class CRunner {
  public:
    // Starts the program (the built kolvane-run unless `program` names another copy) with
    // `args` in the directory `cwd`; standard input is /dev/null. `fileSizeLimit` (bytes), when
    // not negative, is the child's RLIMIT_FSIZE: a write beyond it fails as on a full disk.
    CRunner(const std::vector<std::string>& args, const std::string& cwd,
            long long fileSizeLimit = -1, const std::string& program = KOLVANE_RUN_PATH);
    ~CRunner();
    CRunner(const CRunner&) = delete;
    CRunner& operator=(const CRunner&) = delete;

    // Waits until standard output holds `text` `count` times; false after `timeoutMs`.
    bool WaitForOutput(std::string_view text, int count = 1, int timeoutMs = 30000);
    void Signal(int sig);
    // Waits for the end; the exit status, or 128 + the signal that ended it.
    int Wait();

    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }

  private:
    bool Pump(int timeoutMs);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    std::string m_out;
    std::string m_err;
    int m_status = -1;
};

// Runs the program to its end; returns the exit status and fills `out` and `err`.
int RunToEnd(const std::vector<std::string>& args, const std::string& cwd, std::string* out,
             std::string* err = nullptr, const std::string& program = KOLVANE_RUN_PATH);

// An environment variable set for the children started while it lives.
class CScopedEnv {
  public:
    CScopedEnv(const char* name, const char* value) : m_name(name) { ::setenv(name, value, 1); }
    ~CScopedEnv() { ::unsetenv(m_name); }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

  private:
    const char* m_name;
};

// The text with every date and time text replaced by <date> and <time>, so that runs compare.
std::string MaskStamps(std::string text);

}  // namespace kolvane::test
