// Running a rule from the console: the lock against a second runner on the same rule file, the
// signals (Ctrl-C is the abort request during a run and stops the schedule during a countdown;
// SIGTERM, the service manager's "stop now", ends the program at once), and the one-second
// countdown loop between scheduled runs.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/clock.h"
#include "cli/commands.h"
#include "cli/console_host.h"
#include "cli/run_metrics.h"
#include "run/scheduler.h"
#include "engine/text_ops.h"

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

// Thrown from the message pump on SIGTERM or a second interrupt during a run: unwinding closes
// the run's files (a half-written output's or local copy's temporary file is removed, the error
// log is closed). The pump runs between the run's steps and, during a transfer, from libcurl's
// progress callback at least once a second; the transfer keeps the exception until libcurl has
// cancelled the transfer and returned, then throws it.
struct SHardStop {};

// A folder that only this user may write: an existing one must be a folder (not a link) of the
// running user that group and others cannot write; a missing one is made so.
bool PrivateFolder(const std::string& dir) {
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 022) == 0;
}

// Where the runner keeps its locks: "kolvane" in $XDG_RUNTIME_DIR (a user's session or
// service manager); else /run/kolvane (root, or the service account of the system's unit,
// which makes it); else /tmp/kolvane-<uid> (cron). Empty when none is the user's own.
std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && PrivateFolder(std::string(runtime) + "/kolvane"))
        return std::string(runtime) + "/kolvane";
    if (PrivateFolder("/run/kolvane")) return "/run/kolvane";
    const std::string tmp = "/tmp/kolvane-" + std::to_string(::geteuid());
    return PrivateFolder(tmp) ? tmp : std::string();
}

// An advisory lock held while the process lives (the system releases it when the process dies)
// on a file of the runner's own, named by a hash of the rule file's canonical path: no other
// user can hold it, and a rule replaced by a rename keeps its lock. 1 when held (or when the
// rule file does not exist: the rule reader then reports that); -1 when another process holds
// it; -2 when there is no folder of the user's own for it.
int LockRuleFile(const std::string& path, int& fd) {
    fd = -1;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return 1;
    const std::string canonical = real;
    std::free(real);
    const std::string folder = LockFolder();
    if (folder.empty()) return -2;
    const std::string lock = folder + "/" + HashName(canonical) + ".lock";
    fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return -2;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        fd = -1;
        return -1;
    }
    // Which rule the lock is for, for whoever looks.
    const std::string text = canonical + "\n";
    if (::ftruncate(fd, 0) == 0) (void)!::write(fd, text.data(), text.size());
    return 1;
}

}  // namespace

int RunRule(const SOptions& options) {
    int lockFd = -1;
    switch (LockRuleFile(options.rulePath, lockFd)) {
        case -1:
            std::fprintf(stderr, "kolvane-run: %s is already being run by another kolvane-run\n",
                         options.rulePath.c_str());
            return kExitLocked;
        case -2:
            std::fprintf(stderr,
                         "kolvane-run: no folder of this user's own for the lock of %s "
                         "($XDG_RUNTIME_DIR, /run/kolvane, /tmp/kolvane-%u)\n",
                         options.rulePath.c_str(), unsigned(::geteuid()));
            return kExitLocked;
    }

    SConsoleRule rule(options);
    CKolvaneDocData& doc = rule.doc;
    CConsoleHost& host = rule.host;
    CKolvaneEngine& view = rule.engine;
    doc.m_bRunOnce = options.once;

    CatchSignals(OnSignal, {SIGINT, SIGTERM});
    int handled = 0;  // interrupts seen by the run
    host.m_onPump = [&] {
        if (g_terminate) throw SHardStop{};
        if (g_interrupts == handled) return;
        handled = g_interrupts;
        if (handled >= 2) throw SHardStop{};
        // The abort request: the run stops after the current scan file.
        doc.m_bBusy = false;
        doc.m_bAbort = true;
    };

    // The figures of each run, for a monitoring system; labelled with the rule's absolute path.
    std::unique_ptr<CMetricsFile> metrics;
    if (!options.metricsPath.empty()) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(options.rulePath, ec);
        metrics = std::make_unique<CMetricsFile>(options.metricsPath,
                                                 ec ? options.rulePath : absolute.string());
    }
    auto started = std::chrono::steady_clock::now();
    auto measure = [&](int status) {
        if (!metrics) return;
        const auto now = std::chrono::steady_clock::now();
        metrics->Write(status, std::chrono::duration<double>(now - started).count(),
                       view.m_lastRun);
    };

    ERunResult result = ERunResult::Failed;
    bool terminated = false;
    try {
        result = RunMerge(view);
        measure(ExitStatusFor(result));
        host.m_timing.Report();
        while (doc.m_nTimerId != 0) {
            struct timespec second {
                1, 0
            };
            if (g_interrupts != handled || g_terminate || ::nanosleep(&second, nullptr) != 0) {
                // A signal during the countdown stops the schedule; SIGTERM there is an
                // orderly stop of a service, not a failure.
                StopSchedulerTimer(view);
                if (g_terminate) result = ERunResult::Ok;
                break;
            }
            started = std::chrono::steady_clock::now();
            if (auto ran = OnScheduleTimer(view, doc.m_nTimerId)) {
                result = *ran;
                measure(ExitStatusFor(result));
            }
        }
    } catch (const SHardStop&) {
        host.ClearStatusLine();
        std::fputs("kolvane-run: stopped\n", stderr);
        result = ERunResult::Failed;
        terminated = g_terminate != 0;  // not a second Ctrl-C
        measure(terminated ? int(kExitTerminated) : ExitStatusFor(result));
    } catch (const std::exception& e) {
        // Nothing the engine or the transfer reports ends here; only a failure of the platform
        // itself (no memory, a library that cannot start) does.
        host.ClearStatusLine();
        std::fprintf(stderr, "kolvane-run: %s\n", e.what());
        result = ERunResult::Failed;
    }
    host.ClearStatusLine();
    if (lockFd >= 0) ::close(lockFd);
    // The service manager's stop is no failure of the rule: the status of a process that
    // SIGTERM ended (the units take it for success).
    return terminated ? int(kExitTerminated) : ExitStatusFor(result);
}

}  // namespace kolvane
