// Application-wide requests and flags that the commands set and the log windows read: whether a
// new window runs its rule or hands over to the editor, the command-line flag, the line limit,
// and the exit status of the last command-line run. One user-interface thread reads and writes
// them, so they are plain values.
#pragma once

#include <optional>

namespace kolvane {

struct SAppFlags {
    bool m_bNewRuleRequest = false;  // "New Rule File": the next new window edits a new rule
    bool m_bEditing = false;         // "Open to Edit Rule File": the next window edits its rule
    bool m_bEditOpenPending = false;
    // Set while the command line's rule files are opened: only their windows end the program.
    bool m_bCommandLine = false;
    int m_nLineLimit = 128000;         // stored log lines per window
    std::optional<int> m_exitStatus;   // kolvane-run's status for the last command-line run
    int m_nRunsOnStack = 0;            // runs of all windows now on the stack
    bool m_bTerminate = false;         // SIGTERM or SIGINT: close as soon as no run is going on
    bool m_bHeldWindowClosed = false;  // the user closed a command-line window held by a failure
};

SAppFlags& AppFlags();

}  // namespace kolvane
