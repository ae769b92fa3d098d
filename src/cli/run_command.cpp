// Running a rule from the console: the lock against a second runner on the same rule file, the
// signals (Ctrl-C is the abort request during a run and stops the schedule and the watch while
// waiting; SIGTERM, the service manager's "stop now", ends the program at once), and the loop
// between runs: the schedule's one-second countdown and the runs on change.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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
#include <optional>
#include <set>
#include <string>

#include "engine/clock.h"
#include "cli/commands.h"
#include "cli/console_host.h"
#include "cli/run_metrics.h"
#include "run/change_watch.h"
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

// Waits for a change event on `fd` (none when -1) until `until` (for ever when none), or for a
// signal. False when a signal asks to stop: SIGTERM, or an interrupt the run has not handled.
// The signals are blocked between the check of their flags and the wait, which lets them in
// again, so one that arrives between the two still ends the wait.
bool WaitForWork(int fd, std::optional<std::chrono::steady_clock::time_point> until, int handled) {
    sigset_t stops, old;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &old);
    bool stop = g_terminate || g_interrupts != handled;
    if (!stop) {
        struct timespec wait {};
        if (until) {
            const auto left =
                std::max(std::chrono::nanoseconds(0),
                         std::chrono::nanoseconds(*until - std::chrono::steady_clock::now()));
            wait.tv_sec = time_t(left.count() / 1000000000);
            wait.tv_nsec = long(left.count() % 1000000000);
        }
        struct pollfd events {
            fd, POLLIN, 0
        };
        const int n =
            ::ppoll(fd >= 0 ? &events : nullptr, fd >= 0 ? 1 : 0, until ? &wait : nullptr, &old);
        stop = n < 0 && errno == EINTR && (g_terminate || g_interrupts != handled);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return !stop;
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
    // Which rule the lock is for, for whoever looks; written only when it says something else
    // (a truncation and a write each run would change the file system's metadata every time).
    const std::string text = canonical + "\n";
    std::string now(text.size() + 1, '\0');
    const bool same = ::pread(fd, now.data(), now.size(), 0) == ssize_t(text.size()) &&
                      now.compare(0, text.size(), text) == 0;
    if (!same && ::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
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
    CKolvaneEngine& engine = rule.engine;
    doc.m_bRunOnce = options.once;

    std::unique_ptr<CChangeWatch> watch;
    if (options.watch) {
        watch = std::make_unique<CChangeWatch>();
        if (!watch->Ok()) {
            std::fprintf(stderr, "kolvane-run: cannot watch for changes: %s\n",
                         watch->Error().c_str());
            if (lockFd >= 0) ::close(lockFd);
            return kExitFailed;
        }
    }

    std::set<std::string> unwatched;  // folders already reported
    auto rewatch = [&] {
        // A rule that could not be read names nothing to watch: the watch ends with it.
        if (!watch || !engine.m_bRuleLoaded || doc.m_bAbort) return watch.reset();
        for (const std::string& failure : watch->Watch(WatchedFiles(engine)))
            if (unwatched.insert(failure).second)
                std::fprintf(stderr, "kolvane-run: cannot watch %s\n", failure.c_str());
    };
    bool watched = false;  // the watch was set up once the first run had read the rule

    CatchSignals(OnSignal, {SIGINT, SIGTERM});
    int handled = 0;  // interrupts seen by the run
    host.m_onPump = [&] {
        // Watched from before the first run scans, so no change after its reading is missed.
        if (watch && !watched && engine.m_bRuleLoaded) {
            watched = true;
            rewatch();
        }
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
                       engine.m_lastRun);
    };

    ERunResult result = ERunResult::Failed;
    bool terminated = false;
    try {
        result = RunMerge(engine);
        measure(ExitStatusFor(result));
        host.m_timing.Report();
        CChangePacer pacer;
        pacer.Ran(started);
        if (!watched) rewatch();
        auto nextTick = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (doc.m_nTimerId != 0 || watch) {
            std::optional<std::chrono::steady_clock::time_point> until = pacer.DueAt();
            if (doc.m_nTimerId != 0 && (!until || nextTick < *until)) until = nextTick;
            if (!WaitForWork(watch ? watch->Fd() : -1, until, handled)) {
                // A signal while waiting stops the schedule and the watch; SIGTERM there is an
                // orderly stop of a service, not a failure.
                StopSchedulerTimer(engine);
                if (g_terminate) result = ERunResult::Ok;
                break;
            }
            auto now = std::chrono::steady_clock::now();
            if (watch && watch->Drain()) pacer.Changed(now);
            if (pacer.Due(now)) {
                started = now;
                pacer.Ran(now);
                result = RunMerge(engine, ERunKind::OnChange);
                measure(ExitStatusFor(result));
                host.m_timing.Report();
                rewatch();
                now = std::chrono::steady_clock::now();
            }
            if (doc.m_nTimerId == 0 || now < nextTick) continue;
            nextTick = std::max(nextTick + std::chrono::seconds(1), now);
            started = now;
            if (auto ran = OnScheduleTimer(engine, doc.m_nTimerId)) {
                pacer.Ran(started);
                result = *ran;
                measure(ExitStatusFor(result));
                rewatch();
                // The new countdown's first second starts when the run is over.
                nextTick = std::chrono::steady_clock::now() + std::chrono::seconds(1);
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
