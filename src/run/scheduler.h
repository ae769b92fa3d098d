// The countdown between scheduled runs: the one-second tick's arithmetic and texts, the re-run
// when the interval has elapsed, and stopping the schedule. Shared by the desktop program (its
// timer ticks) and the headless runner (its one-second loop).
#pragma once

#include <optional>
#include <string>

#include "run/merge_run.h"

namespace kolvane {

// The status text shown with `remaining` seconds to go.
std::string CountdownText(int remaining);

// One tick of the schedule timer `timerId`. Shows the countdown, or, when the interval has
// elapsed, stops the timer and runs again (the run arms the timer anew); returns that run's
// result.
std::optional<ERunResult> OnScheduleTimer(CKolvaneEngine& engine, int timerId);

// "Stop Scheduler's Timer": no further run; the template is released and the error log closed.
void StopSchedulerTimer(CKolvaneEngine& engine);

}  // namespace kolvane
