// The countdown between scheduled runs and stopping the schedule.
#include "run/scheduler.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace kolvane::test {
namespace {

TEST(CountdownText, ComparisonsAreStrict) {
    EXPECT_EQ(CountdownText(9), "9 secs till next update!");
    EXPECT_EQ(CountdownText(60), "60 secs till next update!");
    EXPECT_EQ(CountdownText(61), "1 mins 1 secs till next update!");
    EXPECT_EQ(CountdownText(3600), "60 mins 0 secs till next update!");
    EXPECT_EQ(CountdownText(3660), "1 hrs 0 mins 60 secs till next update!");
    EXPECT_EQ(CountdownText(3724), "1 hrs 2 mins 4 secs till next update!");
}

class SchedulerTest : public EngineTest {
  protected:
    SchedulerTest() {
        doc.m_cmd.m_nInterval = 10;
        doc.m_nTimerId = 7;
        engine.SetTemplateText("x\n");
    }
};

TEST_F(SchedulerTest, CountsDownThenRuns) {
    doc.m_strRulePath = dir / "missing.rul";  // the run itself is not what this test looks at
    engine.m_bRuleLoaded = true;
    EXPECT_FALSE(OnScheduleTimer(engine, 99));  // another timer's tick
    EXPECT_EQ(doc.m_nElapsed, 0);
    EXPECT_FALSE(OnScheduleTimer(engine, 7));
    EXPECT_EQ(host.panes[0], "9 secs till next update!");
    for (int i = 2; i <= 9; ++i) EXPECT_FALSE(OnScheduleTimer(engine, 7));
    EXPECT_EQ(host.panes[0], "1 secs till next update!");
    EXPECT_TRUE(OnScheduleTimer(engine, 7));  // the tenth tick runs
    EXPECT_EQ(doc.m_nElapsed, 0);
    EXPECT_EQ(host.killedTimers, std::vector<int>{7});
    EXPECT_EQ(host.lines.back(), "No Files on List!!");
}

TEST_F(SchedulerTest, StopReleasesTheTemplateAndClosesTheLog) {
    engine.OpenErrorLog(dir.Path(), "err.log");
    StopSchedulerTimer(engine);
    EXPECT_EQ(doc.m_nTimerId, 0);
    EXPECT_EQ(doc.m_cmd.m_nInterval, 0);
    EXPECT_FALSE(engine.HasTemplate());
    EXPECT_FALSE(engine.ErrorLogOpen());
    EXPECT_FALSE(OnScheduleTimer(engine, 7));
}

}  // namespace
}  // namespace kolvane::test
