// A child process with captured output, for the black-box tests.
#include "child_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <stdexcept>

namespace kolvane::test {

CRunner::CRunner(const std::vector<std::string>& args, const std::string& cwd,
                 long long fileSizeLimit, const std::string& program) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    m_pid = ::fork();
    if (m_pid == 0) {
        int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        if (fileSizeLimit >= 0) {
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
}

CRunner::~CRunner() {
    if (m_status < 0 && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    if (m_outFd >= 0) ::close(m_outFd);
    if (m_errFd >= 0) ::close(m_errFd);
}

// Reads what is there; false when both pipes are closed.
bool CRunner::Pump(int timeoutMs) {
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    int open = (m_outFd >= 0) + (m_errFd >= 0);
    if (open == 0) return false;
    if (::poll(fds, 2, timeoutMs) <= 0) return true;
    char buf[65536];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
            (i == 0 ? m_out : m_err).append(buf, static_cast<std::size_t>(n));
        } else {
            ::close(fds[i].fd);
            (i == 0 ? m_outFd : m_errFd) = -1;
        }
    }
    return true;
}

bool CRunner::WaitForOutput(std::string_view text, int count, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int found = 0;
        for (auto at = m_out.find(text); at != std::string::npos; at = m_out.find(text, at + 1))
            ++found;
        if (found >= count) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !Pump(static_cast<int>(std::min<long>(left, 200)))) return false;
    }
}

void CRunner::Signal(int sig) {
    ::kill(m_pid, sig);
}

int CRunner::Wait() {
    if (m_status >= 0) return m_status;
    while (Pump(1000)) {
    }
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_status;
}

int RunToEnd(const std::vector<std::string>& args, const std::string& cwd, std::string* out,
             std::string* err, const std::string& program) {
    CRunner runner(args, cwd, -1, program);
    int status = runner.Wait();
    if (out) *out = runner.Out();
    if (err) *err = runner.Err();
    return status;
}

std::string MaskStamps(std::string text) {
    static const std::regex time(R"(\d\d:\d\d:\d\d( [AP]M)?)");
    static const std::regex date(R"(\d\d/\d\d/\d\d|[A-Z][a-z][a-z]\. \d\d, \d{4})");
    text = std::regex_replace(text, time, "<time>");
    return std::regex_replace(text, date, "<date>");
}

}  // namespace kolvane::test
