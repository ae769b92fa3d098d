// Running a rule from the console: the lock against a second runner on the same rule file, the
// signals (Ctrl-C is the abort request during a run and stops the schedule during a countdown),
// and the one-second countdown loop between scheduled runs.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>

#include "clock.h"
#include "commands.h"
#include "console_host.h"
#include "scheduler.h"

namespace kolvane {
namespace {

volatile std::sig_atomic_t g_interrupts = 0;
volatile std::sig_atomic_t g_terminate = 0;

extern "C" void OnSignal(int sig) {
    if (sig == SIGINT)
        g_interrupts = g_interrupts + 1;
    else
        g_terminate = 1;
}

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: the countdown's sleep wakes at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A file-size limit makes a write fail (and the failure is reported) instead of killing
    // the runner.
    std::signal(SIGXFSZ, SIG_IGN);
}

// Thrown from the message pump on a second interrupt during a run: unwinding closes the
// run's files (a half-written output's temporary file is removed, the error log is closed).
struct SHardStop {};

// An advisory lock on the rule file, held while the process lives; the system releases it
// when the process dies. -1 when another process holds it; 0 when the file cannot be opened
// (the rule reader then reports that itself).
int LockRuleFile(const std::string& path, int& fd) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        fd = -1;
        return -1;
    }
    return 1;
}

int ExitFor(ERunResult r) {
    switch (r) {
        case ERunResult::Ok:
            return kExitOk;
        case ERunResult::Failed:
            return kExitFailed;
        case ERunResult::Refused:
            return kExitRefused;
    }
    return kExitFailed;
}

}  // namespace

int RunRule(const SOptions& options) {
    int lockFd = -1;
    if (LockRuleFile(options.rulePath, lockFd) < 0) {
        std::fprintf(stderr, "kolvane-run: %s is already being run by another kolvane-run\n",
                     options.rulePath.c_str());
        return kExitLocked;
    }

    SConsoleRule rule(options);
    CKolvaneDocData& doc = rule.doc;
    CConsoleHost& host = rule.host;
    CKolvaneEngine& view = rule.engine;
    doc.m_bRunOnce = options.once;

    InstallSignals();
    int handled = 0;
    host.m_onPump = [&] {
        if (g_interrupts + g_terminate == handled) return;
        handled = g_interrupts + g_terminate;
        if (handled >= 2) throw SHardStop{};
        // The abort request: the run stops after the current scan file.
        doc.m_bBusy = false;
        doc.m_bAbort = true;
    };

    ERunResult result = ERunResult::Failed;
    try {
        result = RunMerge(view);
        host.m_timing.Report();
        while (doc.m_nTimerId != 0) {
            struct timespec second {
                1, 0
            };
            if (g_interrupts + g_terminate != handled || ::nanosleep(&second, nullptr) != 0) {
                // A signal during the countdown stops the schedule.
                StopSchedulerTimer(view);
                break;
            }
            if (auto ran = OnScheduleTimer(view, doc.m_nTimerId)) result = *ran;
        }
    } catch (const SHardStop&) {
        host.ClearStatusLine();
        std::fputs("kolvane-run: stopped\n", stderr);
        result = ERunResult::Failed;
    } catch (const std::exception& e) {
        // Nothing the engine or the transfer reports ends here; only a failure of the platform
        // itself (no memory, a library that cannot start) does.
        host.ClearStatusLine();
        std::fprintf(stderr, "kolvane-run: %s\n", e.what());
        result = ERunResult::Failed;
    }
    host.ClearStatusLine();
    if (lockFd >= 0) ::close(lockFd);
    return ExitFor(result);
}

}  // namespace kolvane
