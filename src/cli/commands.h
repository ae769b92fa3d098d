// The runner's commands; each returns the process's exit status.
#pragma once

#include "engine/clock.h"
#include "cli/console_host.h"
#include "engine/engine.h"
#include "run/merge_run.h"
#include "cli/options.h"

namespace kolvane {

// A rule as the runner holds it: its document (with the rule's path and the date style of the
// options), the console host, the system clock and the engine over them.
struct SConsoleRule {
    explicit SConsoleRule(const SOptions& options);
    CKolvaneDocData doc;
    CConsoleHost host;
    CSystemClock clock;
    CKolvaneEngine engine{doc, host, clock};
};

int RunCheck(const SOptions& options);
int RunWriteRule(const SOptions& options);
int RunRule(const SOptions& options);
int RunValues(const SOptions& options);
int RunDryRun(const SOptions& options);

// The date style for the run's texts: the option, else the user's setting, else U.S.
int DateStyleFor(const SOptions& options);

}  // namespace kolvane
