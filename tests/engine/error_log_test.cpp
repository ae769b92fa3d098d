// The error log's entries and the run's date and time texts.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace kolvane::test {
namespace {

TEST_F(EngineTest, EntriesOfEachKindAreAppendedWithTheStamp) {
    dir.Write("err.log", "earlier entry\r\n");
    ASSERT_EQ(engine.OpenErrorLog(dir.Path(), "err.log"), 1);
    engine.LogEntry("plain");
    engine.LogEntry("two\r\nlines", ELogKind::CantContinue);
    engine.LogEntry("gone", ELogKind::Excluding);
    engine.LogNote("note");
    engine.CloseErrorLog();
    engine.LogEntry("dropped while closed");
    EXPECT_EQ(ErrorLog(),
              "earlier entry\r\n"
              "plain  *** 01/05/05 00:15:09 AM ***\r\n"
              "two\r\nlines  *** Can't continue! 01/05/05 00:15:09 AM ***\r\n"
              "gone  *** Excluding this file! 01/05/05 00:15:09 AM ***\r\n"
              "note  *** 01/05/05 00:15:09 AM ***\r\n");
}

TEST_F(EngineTest, LongEntriesAreCutToKeepTheStampWhole) {
    ASSERT_EQ(engine.OpenErrorLog(dir.Path(), "err.log"), 1);
    engine.LogEntry(std::string(5000, 'x'), ELogKind::Excluding);
    std::string log = ErrorLog();
    EXPECT_EQ(log.size(), 1023u);
    EXPECT_EQ(log.find_first_not_of('x'), 1023u - 53u);
    EXPECT_TRUE(log.ends_with("  *** Excluding this file! 01/05/05 00:15:09 AM ***\r\n"));
}

TEST_F(EngineTest, OpenFailureShowsTheStopMessage) {
    EXPECT_EQ(engine.OpenErrorLog(dir / "missing", "err.log"), 0);
    EXPECT_FALSE(engine.ErrorLogOpen());
    EXPECT_EQ(host.messages.back(), "Couldn't Open Error Log File: " + (dir / "missing/err.log") +
                                        "!\n*** No Errors will be logged! ***");
    EXPECT_EQ(engine.OpenErrorLog(dir.Path(), ""), 0);  // an empty name
}

struct TimeCase {
    SLocalTime t;
    int us;
    const char* date;
    const char* time;
};

class DateTimeTest : public EngineTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(DateTimeTest, FormatsBothStyles) {
    const auto& c = GetParam();
    clock.Set(c.t);
    doc.m_nDateDisplay = c.us;
    engine.FormatSysDate();
    engine.FormatSysTime();
    EXPECT_EQ(engine.DateText(), c.date);
    EXPECT_EQ(engine.TimeText(), c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateTimeTest,
    ::testing::Values(TimeCase{{2005, 1, 5, 0, 15, 9}, 1, "01/05/05", "00:15:09 AM"},
                      TimeCase{{2005, 1, 5, 0, 15, 9}, 0, "Jan. 05, 2005", "00:15:09"},
                      TimeCase{{1999, 7, 31, 12, 0, 0}, 1, "07/31/99", "12:00:00 PM"},
                      TimeCase{{1999, 7, 31, 12, 0, 0}, 0, "Jly. 31, 1999", "12:00:00"},
                      TimeCase{{2026, 12, 7, 23, 59, 59}, 1, "12/07/26", "11:59:59 PM"},
                      TimeCase{{2026, 9, 1, 11, 59, 59}, 0, "Spt. 01, 2026", "11:59:59"},
                      TimeCase{{2026, 5, 1, 13, 0, 0}, 1, "05/01/26", "01:00:00 PM"},
                      TimeCase{{2026, 5, 1, 13, 0, 0}, 0, "May. 01, 2026", "13:00:00"}));

}  // namespace
}  // namespace kolvane::test
