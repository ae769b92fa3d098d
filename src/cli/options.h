// The command line of kolvane-run.
#pragma once

#include <string>
#include <vector>

#include "run/merge_run.h"

namespace kolvane {

enum class ECommand { Run, Check, WriteRule, Values, DryRun, Help, Version };

struct SOptions {
    ECommand command = ECommand::Run;
    bool json = false;
    bool once = false;
    bool watch = false;          // --watch: run again whenever a file the rule reads changes
    bool showPasswords = false;  // --check shows passwords instead of "********"
    int dateStyle = -1;          // 1 U.S., 0 long, -1 the user's setting
    std::string rulePath;
    std::string writeTarget;
    std::string metricsPath;  // --metrics: the file of the run's figures
};

// Exit statuses of kolvane-run.
enum EExit : int {
    kExitOk = ExitStatusFor(ERunResult::Ok),
    kExitFailed = ExitStatusFor(ERunResult::Failed),    // something failed on the way
    kExitRefused = ExitStatusFor(ERunResult::Refused),  // the rule or template was refused
    kExitUsage = 64,
    kExitLocked = 75,       // another runner holds the rule file
    kExitTerminated = 143,  // SIGTERM ended a run: 128 + the signal's number
};

// Parses argv; on a usage error returns false with the reason in `error`.
bool ParseOptions(const std::vector<std::string>& args, SOptions& options, std::string& error);

extern const char* const kUsage;

}  // namespace kolvane
