// --dry-run: the whole run of a rule (reading, fetching, extraction, merge) with the merged page
// on standard output instead of the output file, the error-log entries on standard error in the
// error log's own format, and no upload. Its exit status is the run's.
#include <cstdio>
#include <exception>

#include "commands.h"
#include "look_rule.h"
#include "merge_run.h"

namespace kolvane {

int RunDryRun(const SOptions& options) {
    CLookRule rule(options, /*echoEntries=*/true);
    try {
        if (!rule.Load()) return kExitRefused;
        if (!rule.FetchIntoTemporaryFiles()) return kExitFailed;
        std::optional<std::string> page;
        rule.engine.SetPageOut(&page);
        const ERunResult result = RunMerge(rule.engine);
        rule.host.ClearStatusLine();
        if (page) {
            std::fwrite(page->data(), 1, page->size(), stdout);
            std::fflush(stdout);
        }
        switch (result) {
            case ERunResult::Ok:
                return kExitOk;
            case ERunResult::Failed:
                return kExitFailed;
            case ERunResult::Refused:
                return kExitRefused;
        }
    } catch (const SLookStopped&) {
        rule.host.ClearStatusLine();
        std::fputs("kolvane-run: stopped\n", stderr);
    } catch (const std::exception& e) {
        rule.host.ClearStatusLine();
        std::fprintf(stderr, "kolvane-run: %s\n", e.what());
    }
    return kExitFailed;
}

}  // namespace kolvane
