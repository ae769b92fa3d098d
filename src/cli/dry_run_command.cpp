// --dry-run: the whole run of a rule (reading, fetching, extraction, merge) with the merged page
// on standard output instead of the output file, the error-log entries on standard error in the
// error log's own format, and no upload. Its exit status is the run's.
#include <cstdio>

#include "cli/commands.h"
#include "cli/look_rule.h"
#include "run/merge_run.h"

namespace kolvane {

int RunDryRun(const SOptions& options) {
    CLookRule rule(options, /*echoEntries=*/true);
    return rule.Guarded([&] {
        if (!rule.Load()) return int(kExitRefused);
        if (!rule.FetchIntoTemporaryFiles()) return int(kExitFailed);
        std::optional<std::string> page;
        rule.engine.SetPageOut(&page);
        const ERunResult result = RunMerge(rule.engine);
        rule.host.ClearStatusLine();
        if (page) {
            std::fwrite(page->data(), 1, page->size(), stdout);
            std::fflush(stdout);
        }
        return ExitStatusFor(result);
    });
}

}  // namespace kolvane
