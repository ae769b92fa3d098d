// HTTP(S) fetches against nginx on 127.0.0.1, and the faults no real server makes against a raw
// responder.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>

#include "test_servers.h"
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

using namespace std::string_literals;

class HttpTest : public TransferTest {
protected:
    static void SetUpTestSuite() { s_server = std::make_unique<CHttpServer>(); }
    static void TearDownTestSuite() { s_server.reset(); }
    static CHttpServer& Server() { return *s_server; }
    static inline std::unique_ptr<CHttpServer> s_server;

    int FilesInTempDir() const {
        int files = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
        return files;
    }
    // The error log split into its entries (each without its stamp).
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        std::string log = ErrorLog();
        std::string stamp = "  *** " + view.DateText() + " " + view.TimeText() + " ***\r\n";
        for (std::size_t at = 0, next; (next = log.find(stamp, at)) != std::string::npos; at = next + stamp.size())
            out.push_back(log.substr(at, next - at));
        return out;
    }
};

struct SGetCase {
    const char* name;
    const char* serverDir;
    const char* serverFile;
    const char* user;      // the rule's credentials
    const char* password;
    std::vector<ECredentialsResult> answers;  // the host's answers to the credentials prompt
    int outcome;
    std::string stored;    // expected local contents ("old copy" when the fetch failed)
    std::vector<std::string> entries;  // expected entries; "HTTP/1.1 ..." matches a prefix
    friend void PrintTo(const SGetCase& c, std::ostream* os) { *os << c.name; }
};

class HttpGet : public HttpTest, public ::testing::WithParamInterface<SGetCase> {};

const std::string kLong(3000, 'L');

TEST_P(HttpGet, FetchesOrReports) {
    const SGetCase& c = GetParam();
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    WriteFileBytes(Server().Root() + "/long.txt", kLong + "\r\n" + kLong);
    WriteFileBytes(Server().Root() + "/x.txt", "same server\n");
    WriteFileBytes(Server().Root() + "/auth/secret.txt", "secret\n");
    WriteFileBytes(Server().SecondRoot() + "/x.txt", "second server\n");
    CScanFile& f = AddScanFile(false, Server().BaseUrl(), c.serverDir, c.serverFile, "local.txt");
    f.m_strUserId = c.user;
    f.m_strUserPw = c.password;
    for (auto a : c.answers)
        host.credentialAnswers.push_back({a, CHttpServer::kUser, CHttpServer::kPassword});
    dir.Write("local.txt", "old copy");

    EXPECT_EQ(Fetch(), c.outcome);
    EXPECT_EQ(Local("local.txt"), c.stored);
    auto entries = Entries();
    ASSERT_EQ(entries.size(), c.entries.size()) << ErrorLog();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (c.entries[i].rfind("HTTP/1.1 ", 0) == 0) {
            EXPECT_EQ(entries[i].rfind(c.entries[i], 0), 0u) << entries[i];
            EXPECT_NE(entries[i].find("\r\nServer: nginx\r\n"), std::string::npos) << entries[i];
            EXPECT_EQ(entries[i].substr(entries[i].size() - 6), "\r\n\r\n\r\n");
        } else {
            EXPECT_EQ(entries[i], c.entries[i]);
        }
    }
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_EQ(FilesInTempDir(), 2) << "a temporary file was left";
}

using R = ECredentialsResult;
const char* const kDenied = "Access denied: 'auth' Invalid password!\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpGet,
    ::testing::Values(
        SGetCase{"CrLfStoredWithLf", "", "crlf.txt", "", "", {}, 1, "one\ntwo\n", {}},
        SGetCase{"LongLinesCopiedWhole", "/", "long.txt", "", "", {}, 1, kLong + "\n" + kLong, {}},
        SGetCase{"RuleCredentials", "auth", "secret.txt", CHttpServer::kUser, CHttpServer::kPassword, {}, 1,
                 "secret\n", {}},
        SGetCase{"PromptedCredentials", "auth", "secret.txt", "", "", {R::Success}, 1, "secret\n", {}},
        SGetCase{"PromptCancelled", "auth", "secret.txt", "", "", {R::Cancelled}, 0, "old copy", {kDenied}},
        SGetCase{"WrongRuleCredentialsPromptDenied", "auth", "secret.txt", CHttpServer::kUser, "wrong", {}, 0,
                 "old copy", {kDenied}},
        SGetCase{"PromptBoundedToThree", "auth", "secret.txt", "", "",
                 {R::Other, R::ForceRetry, R::Other, R::Success}, 0, "old copy", {kDenied}},
        SGetCase{"Redirect303SameServer", "r303", "x.txt", "", "", {}, 1, "same server\n", {}},
        SGetCase{"RedirectToRedirect", "r302/r301", "x.txt", "", "", {}, 0, "old copy",
                 {"Error: Got status code 301: getting'r302/r301'!\r\n"}},
        SGetCase{"Forbidden", "status", "403", "", "", {}, 0, "old copy",
                 {"Access is Forbidden!\r\nServer response was:\r\n", "HTTP/1.1 403 Forbidden\r\n"}},
        SGetCase{"NotFound", "pub", "nothere.txt", "", "", {}, 0, "old copy",
                 {"The server has not found anything matching the URI, check your path!\r\nServer response "
                  "was:\r\n",
                  "HTTP/1.1 404 Not Found\r\n"}},
        SGetCase{"ServerError", "status", "500", "", "", {}, 0, "old copy",
                 {"Internal Server Error!\r\nServer response was:\r\n", "HTTP/1.1 500 Internal Server Error\r\n"}},
        SGetCase{"Unavailable", "status", "503", "", "", {}, 0, "old copy",
                 {"Server is currently unable to handle the request due to a temporary overloading or "
                  "maintenance of the server!\r\nServer response was:\r\n",
                  "HTTP/1.1 503 Service Temporarily Unavailable\r\n"}}),
    CaseName());

TEST_F(HttpTest, PromptCountsAndHidesNoPassword) {
    WriteFileBytes(Server().Root() + "/auth/secret.txt", "secret\n");
    std::string url = "http://someone:pw@127.0.0.1:" + std::to_string(Server().Port());
    AddScanFile(false, url, "auth", "secret.txt", "local.txt");
    host.credentialAnswers.push_back({R::Other, "", ""});
    host.credentialAnswers.push_back({R::Success, CHttpServer::kUser, CHttpServer::kPassword});
    EXPECT_EQ(Fetch(), 1);
    ASSERT_EQ(host.credentialPrompts.size(), 2u);
    EXPECT_EQ(host.credentialPrompts[0].find("pw@"), std::string::npos);
    for (const auto& [pane, text] : host.paneHistory) EXPECT_EQ(text.find("pw@"), std::string::npos) << text;
}

TEST_F(HttpTest, RedirectToSecondServerReplacesTheUrlForLaterRuns) {
    WriteFileBytes(Server().SecondRoot() + "/x.txt", "second server\n");
    WriteFileBytes(Server().SecondRoot() + "/r302second/x.txt", "second server, later run\n");
    CScanFile& f = AddScanFile(false, Server().BaseUrl(), "r302second", "x.txt", "local.txt");
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("local.txt"), "second server\n");
    EXPECT_EQ(f.m_strUrl, Server().SecondBaseUrl() + "/x.txt");
    EXPECT_EQ(host.panes[0], "Getting via http: x.txt");
    bool cautioned = false;
    for (const auto& [pane, text] : host.paneHistory)
        cautioned |= text == "Caution: redirected to  " + Server().SecondBaseUrl() + "/x.txt";
    EXPECT_TRUE(cautioned);

    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("local.txt"), "second server, later run\n");
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(HttpTest, HttpsFetchVerifiesTheCertificate) {
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    AddScanFile(false, Server().HttpsBaseUrl(), "", "crlf.txt", "local.txt");
    ASSERT_EQ(Fetch(), 1) << ErrorLog();
    EXPECT_EQ(Local("local.txt"), "one\ntwo\n");

    // With a trust store that lacks the test CA the same fetch fails, once, and the copy stays.
    std::string ca = std::getenv("SSL_CERT_FILE");
    dir.Write("empty-ca.pem", "");
    ::setenv("SSL_CERT_FILE", (dir / "empty-ca.pem").c_str(), 1);
    EXPECT_EQ(Fetch(), 0);
    ::setenv("SSL_CERT_FILE", ca.c_str(), 1);
    EXPECT_EQ(Local("local.txt"), "one\ntwo\n");
    EXPECT_EQ(EntryCount(), 1);
    EXPECT_EQ(ErrorLog().rfind("Network failure for: crlf.txt: ", 0), 0u) << ErrorLog();
}

TEST_F(HttpTest, LocalFileIsOpenedOnlyForA200) {
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    CScanFile& missing = AddScanFile(false, Server().BaseUrl(), "status", "404", "a.txt");
    missing.m_strPath = dir / "no/such/dir";
    CScanFile& found = AddScanFile(false, Server().BaseUrl(), "", "crlf.txt", "b.txt");
    found.m_strPath = dir / "no/such/dir";
    EXPECT_EQ(Fetch(), 0);
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u) << ErrorLog();
    EXPECT_EQ(entries[0].rfind("The server has not found anything", 0), 0u);
    EXPECT_EQ(entries[2], "Couldn't Open local file: " + dir / "no/such/dir/b.txt" + "!\r\n");
    EXPECT_EQ(host.cursorDepth, 0);
}

TEST_F(HttpTest, InvalidAndSchemelessUrls) {
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    AddScanFile(false, "ftp://127.0.0.1/", "", "a.txt", "a.txt");
    // Without a scheme, "http://" is put in front.
    AddScanFile(false, "127.0.0.1:" + std::to_string(Server().Port()), "", "crlf.txt", "b.txt");
    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("b.txt"), "one\ntwo\n");
    EXPECT_EQ(ErrorLog(), Entry("Invalid HTTP URL for file: a.txt"));
}

// Faults no real server makes. After each, the next scan file of the pass is still fetched.
struct SFaultCase {
    const char* name;
    std::string reply;
    ERawThen then;
    const char* entry;  // the one entry's start (without its stamp when it ends with "'")
    friend void PrintTo(const SFaultCase& c, std::ostream* os) { *os << c.name; }
};

class HttpFault : public HttpTest, public ::testing::WithParamInterface<SFaultCase> {};

TEST_P(HttpFault, IsOneEntryAndThePassGoesOn) {
    const SFaultCase& c = GetParam();
    CRawResponder raw([&c](const std::string&, int) { return SRawReply{c.reply, c.then}; });
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    STransferLimits limits = Transfer().Limits();
    limits.maxBodyBytes = 1000;
    Transfer().SetLimits(limits);
    AddScanFile(false, raw.BaseUrl(), "dir", "first.txt", "first.txt");
    AddScanFile(false, Server().BaseUrl(), "", "crlf.txt", "second.txt");
    dir.Write("first.txt", "old first");

    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("first.txt"), "old first");
    EXPECT_EQ(Local("second.txt"), "one\ntwo\n");
    EXPECT_EQ(EntryCount(), 1) << ErrorLog();
    EXPECT_EQ(ErrorLog().rfind(c.entry, 0), 0u) << ErrorLog();
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_EQ(FilesInTempDir(), 3) << "a temporary file was left";
}

const std::string kHead200 = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpFault,
    ::testing::Values(
        SFaultCase{"RedirectWithoutLocation", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", ERawThen::Close,
                   "Error: Site redirects with no new location for: 'dir  ***"},
        SFaultCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", ERawThen::Close,
                   "Error: Got status code 204: getting'dir'!\r\n  ***"},
        SFaultCase{"Unauthorized", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n", ERawThen::Close,
                   "Access denied: 'dir' Invalid password!\r\n  ***"},
        SFaultCase{"StallInBody", kHead200 + "partial\n", ERawThen::Stall, "Network failure for: first.txt: "},
        SFaultCase{"StallBeforeAnswer", "", ERawThen::Stall, "Network failure for: first.txt: "},
        SFaultCase{"ResetInBody", kHead200 + "partial\n", ERawThen::Reset, "Network failure for: first.txt: "},
        SFaultCase{"TruncatedBody", kHead200 + "partial\n", ERawThen::Close, "Network failure for: first.txt: "},
        SFaultCase{"DeclaredBodyTooBig", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x'),
                   ERawThen::Close, "Network failure for: first.txt: "},
        SFaultCase{"UndeclaredBodyTooBig", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(5000, 'x'),
                   ERawThen::Close, "Network failure for: first.txt: the response body is larger than 1000 bytes"}),
    CaseName());

TEST_F(HttpTest, RefusedConnectionIsOneEntry) {
    AddScanFile(false, "http://127.0.0.1:" + std::to_string(FreePort()), "", "first.txt", "first.txt");
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(EntryCount(), 1);
    EXPECT_NE(ErrorLog().find("Network failure for: first.txt: "), std::string::npos) << ErrorLog();
    EXPECT_FALSE(std::filesystem::exists(dir / "first.txt"));
    EXPECT_EQ(host.cursorDepth, 0);
}

TEST_F(HttpTest, RetriesOnceAfterPromptThenReportsTheStatus) {
    // A server that keeps answering 401 gets one more request after the prompt, no more.
    CRawResponder raw([](const std::string&, int) {
        return SRawReply{"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
                         "Content-Length: 0\r\n\r\n"};
    });
    AddScanFile(false, raw.BaseUrl(), "dir", "first.txt", "first.txt");
    host.credentialAnswers.push_back({R::Success, "u", "p"});
    host.repeatLastAnswer = true;
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(host.credentialPrompts.size(), 1u);
    EXPECT_EQ(ErrorLog(), Entry("Error: Got status code 401: getting'dir'!\r\n"));
    auto requests = raw.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].rfind("GET /dir/first.txt HTTP/1.1\r\n", 0), 0u) << requests[0];
    EXPECT_NE(requests[0].find("\r\nAccept: text/*\r\n"), std::string::npos);
    EXPECT_NE(requests[0].find("\r\nUser-Agent: Kolvane\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kolvane::test
