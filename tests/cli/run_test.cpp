// Whole runs of local rules: the log lines on standard output, the output file, the error log
// and the exit status; the schedule, the abort by Ctrl-C, and a template that fails under a
// schedule.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "cli_fixture.h"

namespace kolvane::test {
namespace {

const std::string kHeader =
    "                                        ****  Kolvane File Data  ****\n \n";
const std::string kPaths =
    "                    Rule File -> rule.rul\n"
    "                    Template File -> data/t.htm\n"
    "                    Error Log File -> out/err.log\n"
    "Files Scanned: <time> on <date>\n";
const std::string kThreeScanned =
    "       1) ... data/s1.txt scanned\n"
    "       2) ... data/s2.txt scanned\n"
    "       3) ... data/s3.txt scanned\n";

class RunTest : public CliTest {
  protected:
    RunTest() {
        for (int i = 1; i <= 3; ++i)
            dir.Write("data/s" + std::to_string(i) + ".txt",
                      "Report " + std::to_string(i) + "\r\nValue: " + std::to_string(i * 11) +
                          " units\r\n");
        dir.Write("data/t.htm", "<p>%%V1%% %%V2%% %%V3%% %%missing%%</p>\n");
    }
    std::string ThreeFiles(std::string extra = "") {
        std::vector<std::string> sections;
        for (int i = 1; i <= 3; ++i)
            sections.push_back(Local("s" + std::to_string(i) + ".txt",
                                     "V" + std::to_string(i) + "=Value:???? units\r\n"));
        return WriteRule(sections, extra);
    }
    // Slow scan files: each variable counts every one of many occurrences of a key of its own
    // (pieces of a 40-character run that every line repeats, each some 11000 times in the
    // file): `count` files of `vars` variables each (at most 1520).
    void SlowScanFiles(int count, int vars) {
        const std::string run = "abcdefghijklmnopqrstuvwxyz0123456789-+.,";
        std::string big;
        while (big.size() < 470000) big += run + run + run + run + run + "\n";
        std::vector<std::string> sections;
        std::string lines;
        for (int v = 0; v < vars; ++v)
            lines += "S" + std::to_string(v + 1) + "=" +
                     (run + run).substr(std::size_t(v / 38), std::size_t(3 + v % 38)) +
                     "????zz::999999\r\n";
        for (int i = 1; i <= count; ++i) {
            dir.Write("data/big" + std::to_string(i) + ".txt", big);
            sections.push_back(Local("big" + std::to_string(i) + ".txt", lines));
        }
        WriteRule(sections);
    }
};

TEST_F(RunTest, ThreeLocalScanFiles) {
    ThreeFiles();
    EXPECT_EQ(Run({"--once", "rule.rul"}), 0) << err;
    EXPECT_EQ(MaskStamps(out),
              kHeader + kPaths + kThreeScanned + "Local Output File: out/page.htm created!\n");
    EXPECT_EQ(Page(), "<p> 11   22   33  %%missing%%</p>\n");
    EXPECT_EQ(ErrorLog(), "");
    EXPECT_EQ(err, "");
}

TEST_F(RunTest, SecondScanFileMissing) {
    std::filesystem::remove(dir / "data/s2.txt");
    ThreeFiles();
    EXPECT_EQ(Run({"--once", "rule.rul"}), 1);
    EXPECT_EQ(MaskStamps(out), kHeader + kPaths +
                                   "       1) ... data/s1.txt scanned\n"
                                   "       2) ... data/s2.txt see error log\n"
                                   "       3) ... data/s3.txt scanned\n"
                                   "Local Output File: out/page.htm created!\n");
    EXPECT_EQ(Page(), "<p> 11  %%V2%%  33  %%missing%%</p>\n");
    EXPECT_EQ(MaskStamps(ErrorLog()),
              "Couldn't Open Scan File: data/s2.txt!  *** Excluding this file! <date> <time> "
              "***\r\n");
}

TEST_F(RunTest, RefusedRuleAndTemplate) {
    WriteRule({"ScanFile Path = data\r\n"});
    EXPECT_EQ(Run({"rule.rul"}), 2);
    EXPECT_EQ(out,
              kHeader + "**** Error in Rule File -> rule.rul ****     Application Terminated!\n");
    ThreeFiles();
    dir.Write("data/t.htm", "no line feed");
    EXPECT_EQ(Run({"rule.rul"}), 2);
    EXPECT_EQ(
        out,
        kHeader + "**** Error in Template File -> rule.rul ****     Application Terminated!\n");
    EXPECT_NE(ErrorLog().find("Template File contains lines longer than 1024 characters"),
              std::string::npos);
}

TEST_F(RunTest, ScheduledRuleRunsAgainWithTheTemplateItRead) {
    ThreeFiles("ReSchedule Interval= 10\r\n");
    dir.Write("data/t.htm", "%%V1%% at %%SYSTIME%%\n");
    CRunner runner({"rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput("created!\n \n \n", 1, 30000)) << runner.Out();
    std::string first = Page();
    dir.Write("data/t.htm", "edited %%V1%%\n");  // read once per window: not used again
    ASSERT_TRUE(runner.WaitForOutput("created!\n \n \n", 2, 40000)) << runner.Out();
    runner.Signal(SIGTERM);  // stops the countdown
    EXPECT_EQ(runner.Wait(), 0);
    std::string block =
        kHeader + kPaths + kThreeScanned + "Local Output File: out/page.htm created!\n \n \n";
    EXPECT_EQ(MaskStamps(runner.Out()), block + block);
    std::string second = Page();
    EXPECT_EQ(MaskStamps(second), " 11  at <time>\n");
    // The time marker takes the second run's time: the time of its "Files Scanned" line.
    auto at = runner.Out().rfind("Files Scanned: ");
    std::string time = runner.Out().substr(at + 15, runner.Out().find(" on ", at) - at - 15);
    EXPECT_EQ(second, " 11  at " + time + "\n");
    EXPECT_NE(first, second);
}

TEST_F(RunTest, InterruptDuringTheSecondOfFiveScanFilesAborts) {
    SlowScanFiles(5, 600);
    CRunner runner({"rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput("1) ... data/big1.txt scanned\n")) << runner.Out();
    runner.Signal(SIGINT);
    EXPECT_EQ(runner.Wait(), 1);
    EXPECT_EQ(MaskStamps(runner.Out()), kHeader + kPaths +
                                            "       1) ... data/big1.txt scanned\n"
                                            "       2) ... data/big2.txt scanned\n"
                                            "**** Kolvane Aborted by customer! ****\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/page.htm"));
}

// SIGTERM ends a run within two seconds even in the middle of a scan file that takes several.
TEST_F(RunTest, TermDuringALongScanEndsWithinTwoSeconds) {
    SlowScanFiles(1, 1500);
    CRunner runner({"rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput("Files Scanned: ")) << runner.Out();
    ::usleep(200000);
    const auto sent = std::chrono::steady_clock::now();
    runner.Signal(SIGTERM);
    EXPECT_EQ(runner.Wait(), 143);  // the service manager's stop is no failure
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    EXPECT_EQ(runner.Out().find("1) ... "), std::string::npos) << runner.Out();
    EXPECT_FALSE(std::filesystem::exists(dir / "out/page.htm"));
}

TEST_F(RunTest, TemplateWithoutClosingMarkerUnderASchedule) {
    ThreeFiles("ReSchedule Interval= 10\r\n");
    dir.Write("data/t.htm", "%%V1%% and %%broken\n");
    dir.Write("out/page.htm", "the page of yesterday\n");
    EXPECT_EQ(Run({"rule.rul"}), 1);
    EXPECT_EQ(MaskStamps(out), kHeader + kPaths + kThreeScanned +
                                   "Failed to write output file!\n \n \n \n" + kHeader + kPaths +
                                   "**** Kolvane Aborted! ****\n");
    EXPECT_EQ(Page(), "the page of yesterday\n");
    EXPECT_NE(ErrorLog().find("No ending %%\r\nfor variable => %%broken\n..."), std::string::npos);
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// Paths the shell would split or quote are passed through untouched: the runner never uses a
// shell and the engine works on bytes.
TEST_F(RunTest, PathsWithBlanksQuotesSemicolonsAndNonUtf8Bytes) {
    const std::string odd = "we'ird \"dir\"; rm -rf x \xE9t\xE9";
    dir.Write(odd + "/s1.txt", "Value: 7 units\n");
    dir.Write("data/t.htm", "%%V1%%\n");
    WriteRule({"ScanFile Name = s1.txt\r\nScanFile Path = " + odd + "\r\nV1=Value:???? units\r\n"});
    EXPECT_EQ(Run({"--once", "rule.rul"}), 0) << out << err;
    EXPECT_NE(out.find("1) ... " + odd + "/s1.txt scanned"), std::string::npos);
    EXPECT_EQ(Page(), " 7 \n");
}

// Directories are refused; a FIFO that no writer has open is read without blocking, as empty.
TEST_F(RunTest, DirectoriesAreRefusedAndFifosWithoutWriterAreEmpty) {
    ThreeFiles();
    std::filesystem::remove(dir / "data/s2.txt");
    ASSERT_EQ(::mkfifo((dir / "data/s2.txt").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "data/s3.txt.d");
    std::filesystem::remove(dir / "data/s3.txt");
    std::filesystem::rename(dir / "data/s3.txt.d", dir / "data/s3.txt");
    EXPECT_EQ(Run({"--once", "rule.rul"}), 1);
    EXPECT_NE(out.find("2) ... data/s2.txt see error log\n"), std::string::npos);
    EXPECT_NE(out.find("3) ... data/s3.txt see error log\n"), std::string::npos);
    EXPECT_NE(ErrorLog().find("Scan File data/s2.txt is Empty!"), std::string::npos);

    std::filesystem::remove(dir / "data/t.htm");
    ASSERT_EQ(::mkfifo((dir / "data/t.htm").c_str(), 0600), 0);
    EXPECT_EQ(Run({"--once", "rule.rul"}), 2);
    EXPECT_NE(ErrorLog().find("Template file t.htm is Empty!"), std::string::npos);

    EXPECT_EQ(Run({"--once", "data"}), 2);  // a rule "file" that is a directory
    EXPECT_EQ(err, "Couldn't Open rule file: data!\nKolvane aborted by application!\n");
}

TEST_F(RunTest, OutputThatIsAlsoAnInputIsRefusedBeforeAnythingIsWritten) {
    dir.Write("data/t.htm", "%%V1%%\n");
    dir.Write("out/page.htm", "Value: 5 units\n");
    WriteRule({"ScanFile Name = page.htm\r\nScanFile Path = out\r\nV1=Value:???? units\r\n"});
    EXPECT_EQ(Run({"--once", "rule.rul"}), 2);
    EXPECT_NE(err.find("is also the template or a scan file of this rule!"), std::string::npos);
    EXPECT_EQ(Page(), "Value: 5 units\n");
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// Cron and service managers start the runner in some other directory: a rule's relative paths
// are taken from the rule file's own directory, and the log lines show them as the rule writes
// them. The bundled example runs wherever it is started from.
TEST_F(RunTest, RelativePathsResolveAgainstTheRuleFilesDirectory) {
    ThreeFiles();
    CTempDir elsewhere;
    EXPECT_EQ(RunToEnd({"--once", dir / "rule.rul"}, elsewhere.Path(), &out, &err), 0) << err;
    EXPECT_NE(MaskStamps(out).find(kPaths.substr(kPaths.find('\n') + 1) + kThreeScanned +
                                   "Local Output File: out/page.htm created!\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Page(), "<p> 11   22   33  %%missing%%</p>\n");

    std::filesystem::copy(KOLVANE_SOURCE_DIR "/examples", elsewhere / "examples",
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(elsewhere / "examples/out");
    EXPECT_EQ(RunToEnd({"--once", "examples/report.rul"}, elsewhere.Path(), &out, &err), 0)
        << out << err;
    EXPECT_TRUE(FileExists(elsewhere / "examples/out/report.htm"));
    EXPECT_EQ(ReadFile(elsewhere / "examples/out/kolvane-errors.log"), "");
}

}  // namespace
}  // namespace kolvane::test

namespace kolvane::test {
namespace {

// A refused variable line leaves every variable of its scan file without a value: the page is
// written as before, with the same log lines, but the status is 1.
TEST_F(RunTest, RefusedVariableLineEndsWithStatus1) {
    WriteRule({Local("s1.txt", "V1=Value:???? units\r\nBad=ab????cd\r\n")});
    EXPECT_EQ(Run({"--once", "rule.rul"}), 1);
    EXPECT_EQ(MaskStamps(out), kHeader + kPaths + "       1) ... data/s1.txt scanned\n" +
                                   "Local Output File: out/page.htm created!\n");
    EXPECT_EQ(Page(), "<p>%%V1%% %%V2%% %%V3%% %%missing%%</p>\n");
}

}  // namespace
}  // namespace kolvane::test
