// Hostile or slow servers, run through support/private-network (a misread redirect target would
// be looked up as a host name). FTP against pyftpdlib made so by ftp_server.py's options: a data
// connection from another address, a store that fails or stalls, and a run that stops meanwhile.
// HTTP: a large body after any answer (only 64 KiB of it are read), a redirect to another scheme
// or from https down to plain http; each is one entry.
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
    EXPECT_EQ(ErrorLog(), Entry("Active FTP data connection from 127.0.0.2 refused for: data.txt; "
                                "retrying in passive mode"));
}

enum class EStop { None, Signal, Abort };
struct SStopCase {
    const char* name;
    const char* server;  // the option that makes the server misbehave
    EStop stop;
    int result;            // -1: the signal's exception came through
    double seconds;        // the most the upload takes after the stop (without one: in all)
    std::string why = "";  // the one entry's, for the server's 452; none: no entry
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
    EXPECT_EQ(ErrorLog(), c.why.empty() ? ""
                                        : Entry("Network failure for: page.html: " + c.why +
                                                ": 452 Insufficient storage space."));
    EXPECT_TRUE(ReadFile(server.Root() + "/www/page.html") == (c.result > 0 ? page : "old page"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(server.Root() + "/www"), {}), 1)
        << "the temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedStore,
    ::testing::Values(SStopCase{"DiskFullMidStore", "--fail-store-after=65536", EStop::None, 0, 5,
                                "Transferred a partial file"},
                      SStopCase{"DiskFullDataCut", "--fail-store-cut=65536", EStop::None, 0, 5,
                                "Failed sending data to the peer"},
                      SStopCase{"SignalWhileSending", "--slow=data", EStop::Signal, -1, 2},
                      SStopCase{"SignalAwaitingTheEnd", "--slow=reply", EStop::Signal, -1, 2},
                      SStopCase{"AbortWhileSending", "--slow=data", EStop::Abort, 0, 0.5},
                      SStopCase{"SlowQuitAfterStore", "--slow=quit", EStop::None, 1, 3}),
    CaseName());

struct SHostileCase {
    const char* name;
    std::string reply, entry = "";  // no entry: the body's
};
class Hostile : public TransferTest, public ::testing::WithParamInterface<SHostileCase> {};

TEST_P(Hostile, AnswerIsOneEntry) {
    const SHostileCase& c = GetParam();
    CRawResponder raw([&c](const std::string&, int) { return SRawReply{c.reply}; });
    const std::string code = c.reply.substr(9, 3);
    const bool put = code == "201";
    if (put) SetUpload(raw.BaseUrl(), "/site", "first.txt", "page");
    if (!put) AddScanFile(false, raw.BaseUrl(), "dir", "first.txt", "first.txt").m_strUserId = "u";
    EXPECT_EQ(put ? Upload() : Fetch(), 0);
    EXPECT_EQ(ErrorLog(),
              Entry(c.entry.empty() ? "Network failure for: first.txt: the body of the " + code +
                                          " answer is larger than 65536 bytes"
                                    : c.entry));
}

const std::string kBody = "\r\n\r\n" + std::string(1 << 20, 'x');
INSTANTIATE_TEST_SUITE_P(
    Cases, Hostile,
    ::testing::Values(
        SHostileCase{"Error", "HTTP/1.1 500 Oops" + kBody},
        SHostileCase{"Redirect", "HTTP/1.1 302 Found\r\nLocation: /b" + kBody},
        // libcurl reads this body itself while it answers the challenge with the credentials.
        SHostileCase{"Challenge",
                     "HTTP/1.1 401 No\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
                     "Transfer-Encoding: chunked\r\n\r\n100000" +
                         kBody},
        SHostileCase{"AnswerToPut", "HTTP/1.1 201 Created" + kBody},
        SHostileCase{
            "ToFile",
            "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n",
            "Redirect refused for: first.txt: file:///etc/passwd is not an http or https URL"}),
    CaseName());

TEST_F(TransferTest, HttpsRedirectToPlainHttpIsRefused) {
    CHttpServer server;
    AddScanFile(false, server.HttpsBaseUrl(), CHttpServer::RedirectPath(302), "a.txt", "a.txt");
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(
        ErrorLog(),
        Entry("Redirect refused for: a.txt: following it to " + server.Url("/a.txt") +
              " would downgrade https to plain http, without the protection the rule asked for"));
}

}  // namespace
}  // namespace kolvane::test
