// FTP against pyftpdlib made hostile or slow (ftp_server.py's options): a data connection from
// another address, a store that fails or stalls, and a run that stops meanwhile.
#include <chrono>
#include <filesystem>

#include "test_servers.h"
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

// A host racing the server to the active data port is refused before a byte passes; the
// transfer goes on in passive mode with the server's own data.
TEST_F(TransferTest, ActiveDataFromAnotherAddressIsRefused) {
    CFtpServer server(true, "", true, {"--hostile-data=planted value"});
    WriteFileBytes(server.Root() + "/data.txt", "genuine value\n");
    AddScanFile(true, server.BaseUrl(), "", "data.txt", "local.txt");
    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("local.txt"), "genuine value\n");
    SetUpload(server.BaseUrl(), "", "page.html", "new page\r\n");
    EXPECT_EQ(Upload(), 1);
    EXPECT_EQ(ReadFile(server.Root() + "/page.html"), "new page\r\n");
    const std::string refused = "Active FTP data connection from 127.0.0.2 refused for: ";
    EXPECT_EQ(ErrorLog(), Entry(refused + "data.txt; retrying in passive mode") +
                              Entry(refused + "page.html; retrying in passive mode"));
}

enum class EStop { None, Signal, Abort };
struct SStopCase {
    const char* name;
    const char* server;  // the option that makes the server misbehave
    EStop stop;
    int result;         // -1: the signal's exception came through
    const char* entry;  // the one entry; nullptr: none
    double seconds;     // the most the upload takes after the stop (without one: in all)
};
struct SSignalled {};  // what the runner's pump throws on SIGTERM
class StoppedStore : public TransferTest, public ::testing::WithParamInterface<SStopCase> {};

// A failed or stopped store ends within the bound whatever the server waits for, leaves the old
// page and no temporary file, and never waits long for the answer to QUIT.
TEST_P(StoppedStore, EndsSoonAndLeavesNoTemporary) {
    const SStopCase& c = GetParam();
    CFtpServer server(true, "", true, {c.server});
    STransferLimits limits = Transfer().Limits();
    limits.stallTimeoutSec = 60;  // the server's 30 s delays are not cut short by the bound
    Transfer().SetLimits(limits);
    WriteFileBytes(server.Root() + "/www/page.html", "old page");
    const std::string page(16 << 20, 'p');
    SetUpload(server.BaseUrl(), "www", "page.html", page);
    const auto stopAt = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(c.stop == EStop::None ? 0 : 400);
    host.onPump = [&] {
        if (c.stop == EStop::None || std::chrono::steady_clock::now() < stopAt) return;
        if (c.stop == EStop::Signal) throw SSignalled{};
        doc.m_bAbort = true;
    };
    int result = -1;
    try {
        result = Upload();
    } catch (const SSignalled&) {
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - stopAt;
    EXPECT_EQ(result, c.result);
    EXPECT_LE(took.count(), c.seconds);
    EXPECT_EQ(ErrorLog(), c.entry ? Entry(c.entry) : "");
    EXPECT_TRUE(ReadFile(server.Root() + "/www/page.html") == (c.result > 0 ? page : "old page"));
    auto files = std::filesystem::directory_iterator(server.Root() + "/www");
    EXPECT_EQ(std::distance(begin(files), end(files)), 1) << "the temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedStore,
    ::testing::Values(SStopCase{"DiskFullMidStore", "--fail-store-after=65536", EStop::None, 0,
                                "Network failure for: page.html: Transferred a partial file: "
                                "452 Insufficient storage space.",
                                5},
                      SStopCase{"DiskFullDataCut", "--fail-store-cut=65536", EStop::None, 0,
                                "Network failure for: page.html: Failed sending data to the peer: "
                                "452 Insufficient storage space.",
                                5},
                      SStopCase{"SignalWhileSending", "--slow=data", EStop::Signal, -1, nullptr, 2},
                      SStopCase{"SignalAwaitingTheEnd", "--slow=reply", EStop::Signal, -1, nullptr,
                                2},
                      SStopCase{"AbortWhileSending", "--slow=data", EStop::Abort, 0, nullptr, 0.5},
                      SStopCase{"SlowQuitAfterStore", "--slow=quit", EStop::None, 1, nullptr, 3}),
    CaseName());

}  // namespace
}  // namespace kolvane::test
