// A scheduled rule with local and remote scan files and an upload, run 2000 times in one
// process with the timer driven by the test: memory, open descriptors and files stay flat, and
// a reader polling the output file never sees a partial page.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine_fixture.h"
#include "run/scheduler.h"
#include "test_servers.h"

#if defined(__SANITIZE_ADDRESS__)
#define KOLVANE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOLVANE_UNDER_ASAN 1
#endif
#endif

namespace kolvane::test {
namespace {

// Counts what a run says without keeping it.
class CQuietHost : public CRecordingHost {
  public:
    void ShowLogLine(std::string_view) override { ++lineCount; }
    void SetPaneText(int, std::string_view) override {}
    int lineCount = 0;
};

long ResidentKiB() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int CountEntries(const std::string& path) {
    int n = 0;
    if (DIR* d = ::opendir(path.c_str())) {
        while (dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' || std::string(e->d_name).size() > 2;
        ::closedir(d);
    }
    return n;
}

// Open descriptors of this process, but for the polling reader's momentary one.
int CountDescriptors(const std::string& readerFile) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        // The reader's file may just have been replaced: its link then ends in " (deleted)".
        n += !std::filesystem::read_symlink(e.path(), ec).string().starts_with(readerFile);
    }
    return n;
}

TEST(Soak, TwoThousandScheduledRunsStayFlatAndNeverShowAPartialPage) {
    constexpr int kRuns = 2000;
    CHttpServer http;
    CFtpServer ftp;
    CTempDir dir;
    WriteFileBytes(http.Root() + "/feed/prices.txt", "Price: 12.50 EUR\r\n");
    WriteFileBytes(ftp.Root() + "/pub/stock.txt", "Stock: 340 pcs\n");
    dir.Write("data/local.txt", "Orders: 77 placed\n");
    std::string body;
    while (body.size() < 200000) body += "<p>%%Price%% %%Stock%% %%Orders%% %%SYSTIME%%</p>\n";
    dir.Write("data/t.htm", "<html>\n" + body + "</html>\n");
    std::filesystem::create_directories(dir / "out");
    std::string rule =
        "&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = " + (dir / "data") +
        "\r\nOutputFile Name = page.htm\r\nOutputFile Path = " + (dir / "out") +
        "\r\nErrorLogFile Name = err.log\r\nErrorLogFile Path = " + (dir / "out") +
        "\r\nOutputFile FtpURL= " + http.BaseUrl() +
        "\r\nOutputFile ServerDir= /site\r\nReSchedule Interval= 10\r\n\r\n"
        "&ScanFile1:\r\nHttpURL = " +
        http.Url("/feed/prices.txt") +
        "\r\nScanFile Name = prices.txt\r\nScanFile Path = " + (dir / "data") +
        "\r\nPrice=Price:???? EUR\r\n\r\n"
        "&ScanFile2:\r\nFtpURL = " +
        ftp.BaseUrl() +
        "\r\nServerDir = /pub\r\nServerFile = stock.txt\r\nScanFile Name = stock.txt\r\n"
        "ScanFile Path = " +
        (dir / "data") +
        "\r\nStock=Stock:???? pcs\r\n\r\n"
        "&ScanFile3:\r\nScanFile Name = local.txt\r\nScanFile Path = " +
        (dir / "data") + "\r\nOrders=Orders:???? placed\r\n";

    CKolvaneDocData doc;
    CQuietHost host;
    CFixedClock clock({2026, 12, 7, 8, 0, 0});
    CKolvaneEngine engine(doc, host, clock);
    doc.m_strRulePath = dir.Write("rule.rul", rule);

    // A reader that polls the output file during all the runs.
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, partial{0};
    struct SJoin {
        std::atomic<bool>& stop;
        std::thread thread;
        ~SJoin() {
            stop = true;
            if (thread.joinable()) thread.join();
        }
    } reader{stop, std::thread([&] {
                 const std::string path = dir / "out/page.htm";
                 while (!stop) {
                     std::ifstream in(path, std::ios::binary);
                     std::string page((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
                     if (page.empty()) continue;
                     ++reads;
                     if (page.rfind("<html>\n", 0) != 0 || !page.ends_with("</html>\n")) ++partial;
                 }
             })};

    [[maybe_unused]] long rss = 0;
    int fds = 0, files = 0;
    int failed = 0;
    for (int run = 1; run <= kRuns; ++run) {
        clock.Set({2026, 12, 7, 8 + run / 3600 % 12, run / 60 % 60, run % 60});
        ERunResult result;
        if (run == 1) {
            result = RunMerge(engine);
        } else {
            std::optional<ERunResult> ran;
            for (int tick = 0; tick < 10 && !ran; ++tick)
                ran = OnScheduleTimer(engine, doc.m_nTimerId);
            ASSERT_TRUE(ran) << "run " << run << " did not start";
            result = *ran;
        }
        failed += result != ERunResult::Ok;
        ASSERT_NE(doc.m_nTimerId, 0) << "the schedule ended at run " << run << "\n"
                                     << ReadFile(dir / "out/err.log");
        if (run == 100) {
            rss = ResidentKiB();
            fds = CountDescriptors(dir / "out/page.htm");
            files = CountEntries(dir / "out") + CountEntries(dir / "data");
        }
    }
    stop = true;
    reader.thread.join();

    EXPECT_EQ(failed, 0) << ReadFile(dir / "out/err.log");
    EXPECT_EQ(ReadFile(dir / "out/err.log"), "");
    // A leak would add one or more descriptors a run; the transfer's cached connections to the
    // test servers may open or close one or two between the samples.
    EXPECT_LE(CountDescriptors(dir / "out/page.htm"), fds + 2);
    EXPECT_EQ(CountEntries(dir / "out") + CountEntries(dir / "data"), files);
#ifndef KOLVANE_UNDER_ASAN
    EXPECT_LT(ResidentKiB() - rss, 2048) << "resident memory grew";
#endif
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(partial.load(), 0);
    std::string page = ReadFile(dir / "out/page.htm");
    EXPECT_NE(page.find("<p> 12.50   340   77  08:33:20 AM</p>"), std::string::npos)
        << page.substr(0, 200);
    EXPECT_EQ(ReadFile(http.Root() + "/site/page.htm"), page);
}

}  // namespace
}  // namespace kolvane::test
