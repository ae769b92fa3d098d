// kolvane-run --watch from outside: the runs that changes start, what they report, the figures
// after each run, and the stop.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli_fixture.h"

namespace kolvane::test {
namespace {

using WatchTest = CliTest;

TEST_F(WatchTest, ChangesRunAgainUntilSigterm) {
    dir.Write("data/t.htm", "<p>%%V%%</p>\n");
    dir.Write("data/s.txt", "Value: 1 units\n");
    WriteRule({Local("s.txt", "V=Value:???? units\r\n")});
    EXPECT_EQ(Run({"--watch", "--once", "rule.rul"}), 64);
    CRunner runner({"--watch", "--metrics", "out/m.prom", "rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput(" created!"));
    auto waitFor = [&](const std::string& page) {
        for (int i = 0; i < 100 && Page() != page; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return Page();
    };
    dir.Write("data/s.new", "Value: 2 units\n");  // replaced by a rename, as editors save
    ASSERT_EQ(std::rename((dir / "data/s.new").c_str(), (dir / "data/s.txt").c_str()), 0);
    EXPECT_EQ(waitFor("<p> 2 </p>\n"), "<p> 2 </p>\n");
    dir.Write("data/t.htm", "<b>%%V%%</b>\n");  // the template is read again
    EXPECT_EQ(waitFor("<b> 2 </b>\n"), "<b> 2 </b>\n");
    std::remove((dir / "data/s.txt").c_str());  // reported by the run as any run does
    // Its figures are written once the run is over: then SIGTERM finds the runner waiting.
    const std::string failedRun = "_exit_status{rule=\"" + (dir / "rule.rul\"} 1\n");
    for (int i = 0; i < 100 && ReadFile(dir / "out/m.prom").find(failedRun) == std::string::npos;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(ErrorLog().find("Couldn't Open Scan File: data/s.txt"), std::string::npos);
    const auto stop = std::chrono::steady_clock::now();
    runner.Signal(SIGTERM);
    EXPECT_EQ(runner.Wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(2));
    EXPECT_NE(runner.Out().find("s.txt see error log"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "out/m.prom").find(failedRun), std::string::npos);
}

}  // namespace
}  // namespace kolvane::test
