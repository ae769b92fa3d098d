// The runner's commands; each returns the process's exit status.
#pragma once

#include "options.h"

namespace kolvane {

int RunCheck(const SOptions& options);
int RunWriteRule(const SOptions& options);
int RunRule(const SOptions& options);

// The date style for the run's texts: the option, else the user's setting, else U.S.
int DateStyleFor(const SOptions& options);

}  // namespace kolvane
