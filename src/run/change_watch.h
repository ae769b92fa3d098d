// Runs on change: watching the files a rule reads for changes (inotify on their folders, so a
// file replaced by a rename is seen like one written in place) and pacing the runs that follow
// (200 ms of quiet, at most one a second); the run itself is RunMerge(engine, ERunKind::OnChange).
// Shared by the desktop program (its log windows' "Run on Change") and the headless runner
// (--watch).
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "run/merge_run.h"

namespace kolvane {

// When a run on change is due: once the changes have been quiet for 200 ms (but no later than a
// second after the first of them, so a file written without pause still runs), and never sooner
// than a second after the last run (of any kind) began.
class CChangePacer {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuiet{200};
    static constexpr std::chrono::milliseconds kSpacing{1000};
    static constexpr std::chrono::milliseconds kLongestWait{1000};

    void Changed(Clock::time_point now) {
        if (!m_bPending) m_firstChange = now;
        m_bPending = true;
        m_lastChange = now;
    }
    // A run began at `now`: it reads every change seen so far.
    void Ran(Clock::time_point now) {
        m_bPending = false;
        m_lastRun = now;
        m_bRan = true;
    }
    // When the next run on change is due; none while no change waits.
    std::optional<Clock::time_point> DueAt() const {
        if (!m_bPending) return std::nullopt;
        const Clock::time_point quiet =
            std::min(m_lastChange + kQuiet, m_firstChange + kLongestWait);
        return m_bRan ? std::max(quiet, m_lastRun + kSpacing) : quiet;
    }
    bool Due(Clock::time_point now) const {
        const auto due = DueAt();
        return due && now >= *due;
    }

  private:
    bool m_bPending = false;
    bool m_bRan = false;
    Clock::time_point m_firstChange, m_lastChange, m_lastRun;
};

// An inotify instance watching the folders of a set of files for changes of those names: a
// write, a rename to or from the name, a deletion, a change of permissions, and the folder
// itself going away.
class CChangeWatch {
  public:
    CChangeWatch();
    ~CChangeWatch();
    CChangeWatch(const CChangeWatch&) = delete;
    CChangeWatch& operator=(const CChangeWatch&) = delete;

    // False when the system gave no inotify instance (Error() says why).
    bool Ok() const { return m_fd >= 0; }
    const std::string& Error() const { return m_strError; }
    // Readable when events wait; for poll() or an event loop.
    int Fd() const { return m_fd; }

    // Watches `files` (paths as the run opens them) from now on, in place of what was watched.
    // Returns the folders that cannot be watched (missing, unreadable), each with the reason.
    std::vector<std::string> Watch(const std::vector<std::string>& files);
    // Reads every event waiting, without blocking; true when one concerned a watched file (or
    // the kernel's queue overflowed, so some may have).
    bool Drain();

  private:
    int m_fd = -1;
    std::string m_strError;
    std::map<int, std::set<std::string>> m_names;  // by watch descriptor: the names in its folder
};

// The files whose changes start a run of the loaded rule: the template and the local scan files
// (not the local copies of fetched ones), as on disk, and for a symbolic link also the file it
// leads to. The output file and the error log are left out, since each run writes them. Empty
// while no rule is loaded.
std::vector<std::string> WatchedFiles(CKolvaneEngine& engine);

}  // namespace kolvane
