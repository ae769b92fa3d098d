// FTP against servers that misbehave (pyftpdlib made hostile or slow by ftp_server.py's
// options): a data connection from another address, a store that fails or stalls, and a run
// that stops meanwhile.
#include <chrono>
#include <filesystem>
#include <ostream>

#include "test_servers.h"
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::string_literals;

class HostileFtp : public TransferTest {
  protected:
    // The files in `dir` on the server.
    static int FilesIn(const std::string& dir) {
        int n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
        return n;
    }
};

// Active mode: a host racing the server to the client's data port is refused before a byte is
// read or sent, and the transfer goes on in passive mode with the server's own data.
TEST_F(HostileFtp, ActiveDataFromAnotherAddressIsRefused) {
    CFtpServer server(true, "", true, {"--hostile-data=planted value"});
    WriteFileBytes(server.Root() + "/data.txt", "genuine value\n");
    AddScanFile(true, server.BaseUrl(), "", "data.txt", "local.txt");
    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("local.txt"), "genuine value\n");
    SetUpload(server.BaseUrl(), "", "page.html", "new page\r\n");
    EXPECT_EQ(Upload(), 1);
    EXPECT_EQ(ReadFile(server.Root() + "/page.html"), "new page\r\n");
    const char* refused = "Active FTP data connection from 127.0.0.2 refused for: ";
    EXPECT_EQ(ErrorLog(), Entry(refused + "data.txt; retrying in passive mode"s) +
                              Entry(refused + "page.html; retrying in passive mode"s));
}

struct SStopCase {
    const char* name;
    const char* server;  // the option that makes the server misbehave
    enum EStop { None, Signal, Abort } stop;
    int result;
    const char* entry;  // the one entry's text; nullptr: none
    double seconds;     // the most the upload may take after the stop (without one: in all)
    friend void PrintTo(const SStopCase& c, std::ostream* os) { *os << c.name; }
};

struct SSignalled {};  // what the runner's pump throws on SIGTERM

class StoppedStore : public HostileFtp, public ::testing::WithParamInterface<SStopCase> {};

// A store that fails or is stopped leaves the old page and no temporary file; a signal or an
// abort ends it within the bound whatever the server is waiting for, and never waits long for
// the answer to QUIT.
TEST_P(StoppedStore, EndsSoonAndLeavesNoTemporary) {
    const SStopCase& c = GetParam();
    CFtpServer server(true, "", true, {c.server});
    STransferLimits limits = Transfer().Limits();
    limits.stallTimeoutSec = 60;  // the server's 30 s delays are not cut short by the bound
    Transfer().SetLimits(limits);
    WriteFileBytes(server.Root() + "/www/page.html", "old page");
    const std::string page(16 << 20, 'p');
    SetUpload(server.BaseUrl(), "www", "page.html", page);
    const auto start = Clock::now();
    const auto stopAt = start + std::chrono::milliseconds(c.stop == SStopCase::None ? 0 : 400);
    host.onPump = [&] {
        if (c.stop == SStopCase::None || Clock::now() < stopAt) return;
        if (c.stop == SStopCase::Signal) throw SSignalled{};
        doc.m_bAbort = true;
    };
    int result = -1;
    try {
        result = Upload();
    } catch (const SSignalled&) {
        result = -2;
    }
    const std::chrono::duration<double> took = Clock::now() - stopAt;
    EXPECT_EQ(result, c.stop == SStopCase::Signal ? -2 : c.result);
    EXPECT_LE(took.count(), c.seconds);
    EXPECT_EQ(ErrorLog(), c.entry ? Entry(c.entry) : "");
    EXPECT_TRUE(ReadFile(server.Root() + "/www/page.html") == (c.result ? page : "old page"));
    EXPECT_EQ(FilesIn(server.Root() + "/www"), 1) << "the temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedStore,
    ::testing::Values(
        SStopCase{"DiskFullMidStore", "--fail-store-after=65536", SStopCase::None, 0,
                  "Network failure for: page.html: Transferred a partial file: "
                  "452 Insufficient storage space.",
                  5},
        SStopCase{"SignalWhileSending", "--slow=data", SStopCase::Signal, 0, nullptr, 2},
        SStopCase{"SignalAwaitingTheEnd", "--slow=reply", SStopCase::Signal, 0, nullptr, 2},
        SStopCase{"AbortWhileSending", "--slow=data", SStopCase::Abort, 0, nullptr, 0.5},
        SStopCase{"SlowQuitAfterStore", "--slow=quit", SStopCase::None, 1, nullptr, 2}),
    CaseName());

}  // namespace
}  // namespace kolvane::test
