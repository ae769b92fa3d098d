// The merge run's paths that a whole-program test cannot reach or time: the line limit, the
// abort while scanning and the scheduled run after it, a rule without scan files, and the
// status panes.
#include "run/merge_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine_fixture.h"
#include "run/scheduler.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

class MergeRunTest : public EngineTest {
  protected:
    void WriteTree(int files, std::string extra = "") {
        std::string rule = Command(extra);
        for (int i = 1; i <= files; ++i) {
            std::string name = "s" + std::to_string(i) + ".txt";
            dir.Write(name, "Value: " + std::to_string(i) + " units\n");
            rule += "&ScanFile" + std::to_string(i) + ":\r\nScanFile Name = " + name +
                    "\r\nScanFile Path = " + dir.Path() + "\r\nV" + std::to_string(i) +
                    "=Value:???? units\r\n\r\n";
        }
        dir.Write("t.htm", "%%V1%%|%%SYSDATE%%\n");
        doc.m_strRulePath = dir.Write("rule.rul", rule);
    }
};

TEST_F(MergeRunTest, AbortWhileScanningEmptiesTheDocumentAndEndsTheSchedule) {
    WriteTree(5, "ReSchedule Interval= 10\r\n");
    int progress = 0;
    host.onPump = [&] {
        // The user's abort request arrives while the second file is scanned.
        if (host.panes[2] == "2 out of 5 searched" && ++progress == 1) {
            doc.m_bBusy = false;
            doc.m_bAbort = true;
        }
    };
    EXPECT_EQ(RunMerge(engine), ERunResult::Failed);
    EXPECT_EQ(host.lines[host.lines.size() - 4], "       2) ... " + (dir / "s2.txt") + " scanned");
    EXPECT_EQ(host.lines[host.lines.size() - 3], "**** Kolvane Aborted by customer! ****");
    EXPECT_TRUE(doc.m_scanFiles.empty());
    EXPECT_NE(doc.m_nTimerId, 0);  // armed all the same
    EXPECT_FALSE(FileExists(dir / "out.htm"));

    host.lines.clear();
    for (int i = 0; i < 10; ++i) OnScheduleTimer(engine, doc.m_nTimerId);
    EXPECT_EQ(host.lines.back(), "**** Kolvane Aborted! ****");
    EXPECT_EQ(doc.m_nTimerId, 0);  // the schedule ends here
    EXPECT_FALSE(engine.HasTemplate());
}

TEST_F(MergeRunTest, FullLogStopsTheRunAndTheNextRunStartsAnEmptyLog) {
    CKolvaneDocData limited(12);
    CKolvaneEngine run(limited, host, clock);
    WriteTree(8, "ReSchedule Interval= 10\r\n");
    limited.m_strRulePath = doc.m_strRulePath;
    EXPECT_EQ(RunMerge(run), ERunResult::Failed);
    // 2 header lines, 4 path lines and 6 numbered lines fill the log; the notice takes the place
    // of the seventh numbered line, and the run stops before the merge.
    EXPECT_TRUE(limited.m_log.m_bLineLimit);
    EXPECT_EQ(limited.m_log.Lines().back(), "**** Application line limit reached! ****");
    EXPECT_EQ(limited.m_log.LineCount(), 13);
    EXPECT_FALSE(FileExists(dir / "out.htm"));
    for (int i = 0; i < 10; ++i) OnScheduleTimer(run, limited.m_nTimerId);
    EXPECT_EQ(limited.m_log.Lines().front(),
              "                                        ****  Kolvane File Data  ****");
    EXPECT_FALSE(limited.m_log.m_bLineLimit);
}

TEST_F(MergeRunTest, NoScanFilesEndsWithoutOutputOrTimer) {
    dir.Write("t.htm", "x\n");
    doc.m_cmd.m_strTemplatePath = dir.Path();
    doc.m_cmd.m_strTemplateName = "t.htm";
    doc.m_cmd.m_nInterval = 10;
    engine.m_bRuleLoaded = true;
    engine.SetTemplateText("x\n");
    EXPECT_EQ(RunMerge(engine), ERunResult::Failed);
    EXPECT_EQ(host.lines.back(), "No Files on List!!");
    EXPECT_EQ(doc.m_nTimerId, 0);
    EXPECT_FALSE(engine.HasTemplate());
    EXPECT_FALSE(doc.m_bBusy);
}

TEST_F(MergeRunTest, ScanProgressAndTheEndOfARun) {
    WriteTree(2);
    EXPECT_EQ(RunMerge(engine), ERunResult::Ok);
    EXPECT_EQ(ReadFile(dir / "out.htm"), " 1 |01/05/05\n");
    EXPECT_EQ(host.panes[0], "Ready");
    EXPECT_EQ(host.panes[1], "");
    bool sawSecond = false;
    for (const auto& [pane, text] : host.paneHistory)
        sawSecond = sawSecond || (pane == 2 && text == "2 out of 2 searched");
    EXPECT_TRUE(sawSecond);
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_FALSE(engine.HasTemplate());  // no schedule: released
    EXPECT_FALSE(engine.ErrorLogOpen());
    EXPECT_EQ(host.timersArmed, 0);
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// A failed fetch pass (the server answers 500) ends that run, not the schedule: the countdown
// starts with the template and the error log kept, and the next run fetches again.
TEST_F(MergeRunTest, FailedFetchPassKeepsTheSchedule) {
    const std::string body = "Value: 7 units\n";
    CRawResponder raw([&](const std::string&, int connection) {
        return SRawReply{connection == 0 ? "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"
                                         : "HTTP/1.1 200 OK\r\nContent-Length: " +
                                               std::to_string(body.size()) + "\r\n\r\n" + body};
    });
    dir.Write("t.htm", "%%V1%%\n");
    doc.m_strRulePath = dir.Write(
        "rule.rul", Command("ReSchedule Interval= 10\r\n") +
                        "&ScanFile1:\r\nHttpURL = " + raw.BaseUrl() +
                        "/s1.txt\r\nScanFile Name = s1.txt\r\nScanFile Path = " + dir.Path() +
                        "\r\nV1=Value:???? units\r\n");
    EXPECT_EQ(RunMerge(engine), ERunResult::Failed);
    EXPECT_EQ(host.lines.back(), "This run ended here; the next one follows the countdown.");
    EXPECT_NE(doc.m_nTimerId, 0);
    EXPECT_TRUE(engine.HasTemplate());
    EXPECT_TRUE(engine.ErrorLogOpen());
    std::optional<ERunResult> next;
    for (int i = 0; i < 10 && !next; ++i) next = OnScheduleTimer(engine, doc.m_nTimerId);
    EXPECT_EQ(next, ERunResult::Ok);
    EXPECT_EQ(ReadFile(dir / "out.htm"), " 7 \n");
    EXPECT_NE(doc.m_nTimerId, 0);
}

// An output file that cannot replace its target (the output path names a directory) fails
// every scheduled run and never leaves a temporary file behind.
TEST_F(MergeRunTest, FailedCommitLeavesNoTemporaryFileOverTenRuns) {
    WriteTree(1, "ReSchedule Interval= 10\r\n");
    std::filesystem::create_directory(dir / "out.htm");
    EXPECT_EQ(RunMerge(engine), ERunResult::Failed);
    int runs = 1;
    while (runs < 10) runs += OnScheduleTimer(engine, doc.m_nTimerId).has_value();
    int failed = 0;
    for (const auto& line : host.lines) failed += line == "Failed to write output file!";
    EXPECT_EQ(failed, 10);
    EXPECT_NE(doc.m_nTimerId, 0);
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string().find(".kolvane-"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace kolvane::test
