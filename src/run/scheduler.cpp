// The countdown and its texts.
#include "run/scheduler.h"

namespace kolvane {

std::string CountdownText(int remaining) {
    int hours = 0, minutes = 0;
    if (remaining > 3600) {
        hours = remaining / 3600;
        remaining %= 3600;
    }
    if (remaining > 60) {
        minutes = remaining / 60;
        remaining %= 60;
    }
    const std::string secs = std::to_string(remaining) + " secs till next update!";
    if (hours > 0)
        return std::to_string(hours) + " hrs " + std::to_string(minutes) + " mins " + secs;
    if (minutes > 0) return std::to_string(minutes) + " mins " + secs;
    return secs;
}

std::optional<ERunResult> OnScheduleTimer(CKolvaneEngine& engine, int timerId) {
    CKolvaneDocData& doc = engine.Doc();
    if (timerId != doc.m_nTimerId || doc.m_cmd.m_nInterval == 0) return std::nullopt;
    ++doc.m_nElapsed;
    if (doc.m_nElapsed < doc.m_cmd.m_nInterval) {
        engine.SetPane(0, CountdownText(doc.m_cmd.m_nInterval - doc.m_nElapsed));
        return std::nullopt;
    }
    DisarmScheduleTimer(engine);
    doc.m_nElapsed = 0;
    return RunMerge(engine);
}

void StopSchedulerTimer(CKolvaneEngine& engine) {
    DisarmScheduleTimer(engine);
    engine.Doc().m_cmd.m_nInterval = 0;
    engine.ReleaseTemplate();
    engine.CloseErrorLog();
}

}  // namespace kolvane
