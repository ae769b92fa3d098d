// The merge run: one whole run of a loaded rule in one window (header lines, the first-run
// reading of rule and template, the fetch pass, scanning every scan file, the merge, the upload,
// and arming the schedule or releasing what the run held). Shared by the desktop program and the
// headless runner; everything it says goes to the log lines, the error log and the run host.
#pragma once

#include "engine/engine.h"

namespace kolvane {

// How a run ended; the exit status of a program whose work was the run.
enum class ERunResult {
    Ok,       // the output file was written (and uploaded when the rule asks)
    Failed,   // the run ran, but something failed on the way
    Refused,  // the rule file or the template was refused or unreadable
};

// The exit status for how a run ended: 0, 1 or 2, for the headless runner and for the desktop
// program started to run a rule from its command line alike.
constexpr int ExitStatusFor(ERunResult result) {
    switch (result) {
        case ERunResult::Ok:
            return 0;
        case ERunResult::Failed:
            return 1;
        case ERunResult::Refused:
            return 2;
    }
    return 1;
}

// What starts a run: the first run or the schedule (the rule and the template as loaded, the
// remote scan files fetched), or a change of a watched file (the template read again, the error
// log opened again, nothing fetched, a schedule's countdown left as it was).
enum class ERunKind { Whole, OnChange };

ERunResult RunMerge(CKolvaneEngine& engine, ERunKind kind = ERunKind::Whole);

// Kills the schedule timer when one is armed; the schedule itself stays (StopSchedulerTimer ends
// it).
void DisarmScheduleTimer(CKolvaneEngine& engine);

}  // namespace kolvane
