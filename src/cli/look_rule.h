// A rule read for a look that changes nothing (`--values`, `--dry-run`): the rule and the
// template read as a run reads them, but the error log is not opened (its entries are kept, and
// echoed to standard error when asked), the log lines are not shown, no upload is made, and the
// remote scan files are fetched into a temporary directory of this process, so the local copies
// the rule names stay untouched. The directory is removed when the look ends, also when Ctrl-C
// or SIGTERM (or SIGHUP) stops it, and when the reader of its output has gone away.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "cli/console_host.h"
#include "engine/engine.h"
#include "cli/options.h"

namespace kolvane {

// Thrown from the message pump when SIGINT, SIGTERM or SIGHUP came: unwinding removes the
// temporary files.
struct SLookStopped {};

class CLookRule {
  public:
    CLookRule(const SOptions& options, bool echoEntries);
    ~CLookRule();
    CLookRule(const CLookRule&) = delete;
    CLookRule& operator=(const CLookRule&) = delete;

    // Reads and parses the rule and reads the template; false when one was refused (its
    // message or entry has been shown).
    bool Load();
    // Points every remote scan file at a file of the temporary directory; false (after a message
    // on standard error) when the directory cannot be made.
    bool FetchIntoTemporaryFiles();
    // The scan file's path as the rule gives it (also for a remote file fetched elsewhere).
    std::string ShownPath(const CScanFile& file) const;
    bool Remote(const CScanFile& file) const { return m_shown.count(file.m_nNumber) != 0; }

    // Runs the look's `body` and returns its exit status; Ctrl-C, SIGTERM or a failure of the
    // platform ends it with 1 and a message on standard error.
    int Guarded(const std::function<int()>& body);

    // Every error-log entry so far, stamp and all.
    const std::vector<std::string>& Entries() const { return m_entries; }

    // The console host without log lines: a look shows its own output.
    class CHost : public CConsoleHost {
      public:
        void ShowLogLine(std::string_view) override {}
    };

    CKolvaneDocData doc;
    CHost host;
    CSystemClock clock;
    CKolvaneEngine engine{doc, host, clock};

  private:
    std::vector<std::string> m_entries;
    std::string m_strTempDir;
    std::map<int, std::string> m_shown;  // remote scan file number -> the rule's path
};

// The first line of an entry, without the stamp: what a row shows of it.
std::string EntryText(std::string_view entry);

}  // namespace kolvane
