// HTTP(S) fetches against nginx on 127.0.0.1, and the faults no real server makes against a raw
// responder.
#include <atomic>
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
        std::string stamp = "  *** " + engine.DateText() + " " + engine.TimeText() + " ***\r\n";
        for (std::size_t at = 0, next; (next = log.find(stamp, at)) != std::string::npos;
             at = next + stamp.size())
            out.push_back(log.substr(at, next - at));
        return out;
    }
};

struct SGetCase {
    const char* name;
    const char* serverDir;
    const char* serverFile;
    const char* user;  // the rule's credentials
    const char* password;
    std::vector<ECredentialsResult> answers;  // the host's answers to the credentials prompt
    int outcome;
    std::string stored;                // expected local contents ("old copy" when the fetch failed)
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
    WriteFileBytes(Server().Root() + "/my dir/a b.txt", "blanks\n");
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
            EXPECT_NE(entries[i].find("\r\n    Server: nginx\r\n"), std::string::npos)
                << entries[i];
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
        SGetCase{"BlanksInPath", "my dir", "a b.txt", "", "", {}, 1, "blanks\n", {}},
        SGetCase{"LongLinesCopiedWhole", "/", "long.txt", "", "", {}, 1, kLong + "\n" + kLong, {}},
        SGetCase{"RuleCredentials",
                 "auth",
                 "secret.txt",
                 CHttpServer::kUser,
                 CHttpServer::kPassword,
                 {},
                 1,
                 "secret\n",
                 {}},
        SGetCase{
            "PromptedCredentials", "auth", "secret.txt", "", "", {R::Success}, 1, "secret\n", {}},
        SGetCase{"PromptCancelled",
                 "auth",
                 "secret.txt",
                 "",
                 "",
                 {R::Cancelled},
                 0,
                 "old copy",
                 {kDenied}},
        SGetCase{"WrongRuleCredentialsPromptDenied",
                 "auth",
                 "secret.txt",
                 CHttpServer::kUser,
                 "wrong",
                 {},
                 0,
                 "old copy",
                 {kDenied}},
        SGetCase{"PromptBoundedToThree",
                 "auth",
                 "secret.txt",
                 "",
                 "",
                 {R::Other, R::ForceRetry, R::Other, R::Success},
                 0,
                 "old copy",
                 {kDenied}},
        SGetCase{"Redirect303SameServer", "r303", "x.txt", "", "", {}, 1, "same server\n", {}},
        SGetCase{"RedirectToRedirect",
                 "r302/r301",
                 "x.txt",
                 "",
                 "",
                 {},
                 0,
                 "old copy",
                 {"Error: Got status code 301: getting'r302/r301'!\r\n"}},
        SGetCase{
            "Forbidden",
            "status",
            "403",
            "",
            "",
            {},
            0,
            "old copy",
            {"Access is Forbidden!\r\nServer response was:\r\n", "HTTP/1.1 403 Forbidden\r\n"}},
        SGetCase{"NotFound",
                 "pub",
                 "nothere.txt",
                 "",
                 "",
                 {},
                 0,
                 "old copy",
                 {"The server has not found anything matching the URI, check your path!\r\nServer "
                  "response "
                  "was:\r\n",
                  "HTTP/1.1 404 Not Found\r\n"}},
        SGetCase{"ServerError",
                 "status",
                 "500",
                 "",
                 "",
                 {},
                 0,
                 "old copy",
                 {"Internal Server Error!\r\nServer response was:\r\n",
                  "HTTP/1.1 500 Internal Server Error\r\n"}},
        SGetCase{
            "Unavailable",
            "status",
            "503",
            "",
            "",
            {},
            0,
            "old copy",
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
    for (const auto& [pane, text] : host.paneHistory)
        EXPECT_EQ(text.find("pw@"), std::string::npos) << text;
}

TEST_F(HttpTest, RedirectToSecondServerHoldsForThisRunOnly) {
    WriteFileBytes(Server().SecondRoot() + "/x.txt", "second server\n");
    CScanFile& f = AddScanFile(false, Server().BaseUrl(), "r302second", "x.txt", "local.txt");
    for (int run = 0; run < 2; ++run) {
        host.paneHistory.clear();
        ASSERT_EQ(Fetch(), 1);
        EXPECT_EQ(Local("local.txt"), "second server\n");
        EXPECT_EQ(f.m_strUrl, Server().BaseUrl());
        EXPECT_EQ(host.panes[0], "Getting via http: x.txt");
        bool cautioned = false;
        for (const auto& [pane, text] : host.paneHistory)
            cautioned |= text == "Caution: redirected to  " + Server().SecondBaseUrl() + "/x.txt";
        EXPECT_TRUE(cautioned) << "run " << run << " starts from the rule's URL";
    }
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

// Redirects seen from a raw responder: the rule's path answers the case's redirect, any other
// path asks for credentials and then answers "moved". Each case runs twice: a redirect holds
// for its own run only.
struct SRedirectCase {
    const char* name;
    std::string redirect;  // status line and header; "{port}": the responder, "{other}": another
    const char* request;   // the redirected request's first line; nullptr: none is made
    const char* entry;     // the one entry; nullptr: the fetch succeeds
    friend void PrintTo(const SRedirectCase& c, std::ostream* os) { *os << c.name; }
};

class HttpRedirect : public HttpTest, public ::testing::WithParamInterface<SRedirectCase> {};

TEST_P(HttpRedirect, FollowsTheLocationFieldForThisRunOnly) {
    const SRedirectCase& c = GetParam();
    std::atomic<int> port{0}, other{0};
    auto answer = [&](const std::string& request, int) {
        if (request.rfind("GET /dir/first.txt ", 0) == 0) {
            std::string reply = Replaced(c.redirect, "{port}", std::to_string(port.load()));
            return SRawReply{Replaced(reply, "{other}", std::to_string(other.load())) +
                             "\r\nContent-Length: 0\r\n\r\n"};
        }
        if (request.find("\r\nAuthorization: ") == std::string::npos)
            return SRawReply{
                "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
                "Content-Length: 0\r\n\r\n"};
        return SRawReply{"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nmoved\n"};
    };
    CRawResponder raw(answer), otherRaw(answer);
    port = raw.Port();
    other = otherRaw.Port();
    CScanFile& f = AddScanFile(false, raw.BaseUrl(), "dir", "first.txt", "first.txt");
    f.m_strUserId = "u";
    f.m_strUserPw = "p";
    dir.Write("first.txt", "old first");

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(Fetch(), c.entry ? 0 : 1);
        EXPECT_EQ(Local("first.txt"), c.entry ? "old first" : "moved\n");
        EXPECT_EQ(ErrorLog(), c.entry ? Entry(c.entry) : "");
        EXPECT_EQ(f.m_strUrl, raw.BaseUrl());
        dir.Write("err.log", "");
    }
    std::vector<std::string> requests = raw.Requests(), elsewhere = otherRaw.Requests();
    ASSERT_FALSE(requests.empty());
    int ruleRequests = 0;
    for (const auto& r : requests) ruleRequests += r.rfind("GET /dir/first.txt ", 0) == 0;
    EXPECT_EQ(ruleRequests, 2) << "each run starts from the rule's URL";
    requests.insert(requests.end(), elsewhere.begin(), elsewhere.end());
    int redirected = 0;
    for (const auto& r : requests) redirected += c.request && r.rfind(c.request, 0) == 0;
    EXPECT_EQ(redirected, c.request ? 4 : 0) << "twice in each run, the second with credentials";
    for (const auto& r : elsewhere)
        EXPECT_EQ(r.find("Authorization:"), std::string::npos) << "credentials sent elsewhere";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpRedirect,
    ::testing::Values(
        SRedirectCase{"LowerCaseRelative", "HTTP/1.1 302 Found\r\nlocation: /moved/a.txt",
                      "GET /moved/a.txt HTTP/1.1", nullptr},
        SRedirectCase{"MixedCaseAbsolute",
                      "HTTP/1.1 301 Moved\r\nLoCaTiOn:http://127.0.0.1:{port}/moved/a.txt",
                      "GET /moved/a.txt HTTP/1.1", nullptr},
        SRedirectCase{"RelativeToTheRequestPath",
                      "HTTP/1.1 307 Temporary Redirect\r\nLocation: ../up/a.txt",
                      "GET /up/a.txt HTTP/1.1", nullptr},
        SRedirectCase{"EmptyLocationIsSkipped",
                      "HTTP/1.1 302 Found\r\nLocation: \r\nLocation: /moved/a.txt",
                      "GET /moved/a.txt HTTP/1.1", nullptr},
        SRedirectCase{"BlankInTheTargetIsEncoded", "HTTP/1.1 302 Found\r\nLocation: /moved/a b.txt",
                      "GET /moved/a%20b.txt HTTP/1.1", nullptr},
        SRedirectCase{"UnreadableTarget", "HTTP/1.1 302 Found\r\nLocation: http://[::1/x", nullptr,
                      "Invalid HTTP URL for: first.txt"},
        SRedirectCase{"ContentLocationIsNoRedirect",
                      "HTTP/1.1 302 Found\r\nContent-Location: /moved/a.txt", nullptr,
                      "Error: Site redirects with no new location for: 'dir"},
        // The other server asks for credentials; the rule's are not given to it.
        SRedirectCase{"OtherPortGetsNoCredentials",
                      "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:{other}/moved/a.txt",
                      nullptr, "Error: Got status code 401: getting'dir'!\r\n"}),
    CaseName());

// The fault matrix of a fetch: a refused connection, a name that does not resolve, and what
// no real server sends (from the raw responder). After each, the next scan file of the pass is
// still fetched, the old local copy stays as it was, and the run host is pumped throughout.

class HttpFault : public HttpTest, public ::testing::WithParamInterface<SFaultCase> {};

TEST_P(HttpFault, IsOneEntryAndThePassGoesOn) {
    const SFaultCase& c = GetParam();
    CurlGlobalInit();  // its descriptors, if any, are not the fetch's
    const int fds = OpenFds();
    auto responder = FaultResponder(c);
    CRawResponder& raw = *responder;
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    STransferLimits limits = Transfer().Limits();
    limits.maxBodyBytes = 1000;
    Transfer().SetLimits(limits);
    std::string url = FaultUrl(c, raw);
    CScanFile& first = AddScanFile(false, url, "dir", "first.txt", "first.txt");
    first.m_strUserId = "u";  // the rule's credentials, sent when the server asks for them
    first.m_strUserPw = "p";
    AddScanFile(false, Server().BaseUrl(), "", "crlf.txt", "second.txt");
    dir.Write("first.txt", "old first");
    host.credentialAnswers.push_back({R::ForceRetry, "", ""});
    host.repeatLastAnswer = true;
    // Status texts and pumps while the first file is worked on.
    int statuses = 0, pumps = 0;
    bool second = false;
    host.onPump = [&] {
        second = second || host.panes[0] == "Connecting to " + Server().BaseUrl();
        if (!second) ++pumps;
    };

    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Local("first.txt"), "old first");
    EXPECT_EQ(Local("second.txt"), "one\ntwo\n");
    EXPECT_EQ(EntryCount(), 1) << ErrorLog();
    EXPECT_EQ(ErrorLog().rfind(c.entry, 0), 0u) << ErrorLog();
    EXPECT_EQ(host.credentialPrompts.size(), c.prompts);
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_FALSE(Transfer().m_pRequest || Transfer().m_pHttp || Transfer().m_pSession);
    EXPECT_EQ(FilesInTempDir(), 3) << "a temporary file was left";
    for (const auto& [pane, text] : host.paneHistory) {
        if (text == "Connecting to " + Server().BaseUrl()) break;
        statuses += pane == 0;
    }
    // Every status is drained; a stall is pumped through as well, not only after it.
    if (c.then == ERawThen::Stall)
        EXPECT_GT(pumps, statuses);
    else
        EXPECT_GE(pumps, statuses);
    responder.reset();  // with the connections it stalls
    EXPECT_EQ(OpenFds(), fds) << "a socket or file was left open";
}

const std::string kHead200 = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
const std::string kLoopTo = "Location: http://127.0.0.1:{port}/dir/first.txt\r\n";

std::string ManyHeaderLines() {
    std::string lines;
    for (int i = 0; i < 1100; ++i)
        lines += "X-Filler-" + std::to_string(i) + ": " + std::string(180, 'y') + "\r\n";
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpFault,
    ::testing::Values(
        SFaultCase{"ConnectionRefused", "", ERawThen::Close,
                   "Network failure for: first.txt: Failed to connect to 127.0.0.1 port ",
                   "http://127.0.0.1:{free}"},
        SFaultCase{"NameNotFound", "", ERawThen::Close,
                   "Network failure for: first.txt: Could not resolve host: "
                   "no-such-host..invalid  ***",
                   "http://no-such-host..invalid"},
        SFaultCase{"RedirectWithoutLocation", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Site redirects with no new location for: 'dir  ***"},
        // One redirect is followed; the second 302 is the fetch's failure.
        SFaultCase{"RedirectLoop", "HTTP/1.1 302 Found\r\n" + kLoopTo + "Content-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Got status code 302: getting'dir'!\r\n  ***"},
        SFaultCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", ERawThen::Close,
                   "Error: Got status code 204: getting'dir'!\r\n  ***"},
        SFaultCase{"Unauthorized", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n",
                   ERawThen::Close, "Access denied: 'dir' Invalid password!\r\n  ***", nullptr, 3},
        // The rule's credentials are refused too: the prompt is shown 3 times, no more.
        SFaultCase{"UnauthorizedLoop",
                   "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
                   "Content-Length: 0\r\n\r\n",
                   ERawThen::Close, "Access denied: 'dir' Invalid password!\r\n  ***", nullptr, 3},
        SFaultCase{"StallInBody", kHead200 + "partial\n", ERawThen::Stall,
                   "Network failure for: first.txt: Operation too slow. "},
        // 2 bytes a second keeps data moving, but far below the least speed.
        SFaultCase{"DripInBody", "HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n", ERawThen::Drip,
                   "Network failure for: first.txt: Operation too slow. "},
        SFaultCase{"StallBeforeAnswer", "", ERawThen::Stall,
                   "Network failure for: first.txt: Operation too slow. "},
        SFaultCase{"ResetInBody", kHead200 + "partial\n", ERawThen::Reset,
                   "Network failure for: first.txt: Recv failure: Connection reset by peer  ***"},
        SFaultCase{"TruncatedBody", kHead200 + "partial\n", ERawThen::Close,
                   "Network failure for: first.txt: transfer closed with 92 bytes remaining to "
                   "read  ***"},
        SFaultCase{"OneHeaderLineTooLong",
                   "HTTP/1.1 200 OK\r\nX-Big: " + std::string(200000, 'y') + "\r\n\r\nok",
                   // libcurl's text for a header line over its own 100 KiB bound
                   ERawThen::Close, "Network failure for: first.txt: Out of memory  ***"},
        SFaultCase{"HeaderBlockTooLong",
                   "HTTP/1.1 200 OK\r\n" + ManyHeaderLines() + "Content-Length: 2\r\n\r\nok",
                   ERawThen::Close,
                   "Network failure for: first.txt: the response headers are larger than 102400 "
                   "bytes  ***"},
        SFaultCase{"DeclaredBodyTooBig",
                   "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x'),
                   ERawThen::Close,
                   "Network failure for: first.txt: Maximum file size exceeded  ***"},
        SFaultCase{"UndeclaredBodyTooBig",
                   "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(5000, 'x'),
                   ERawThen::Close,
                   "Network failure for: first.txt: the response body is larger than 1000 bytes"}),
    CaseName());

// The console's second interrupt is thrown from the run host's pump. Thrown inside a transfer
// (from the status shown with the first body piece, or from a pump during a stall) it must
// leave libcurl whole and come out of the fetch, with the old copy kept and no temporary file.
TEST_F(HttpTest, StopThrownFromThePumpEndsTheFetchCleanly) {
    struct SStop {};
    const std::pair<std::string, std::string> cases[] = {
        {kHead200 + "partial\n", "Getting via http: first.txt"},  // inside the body callback
        {"", "Connecting to "},                                   // a pump during the stall
    };
    for (const auto& [reply, pane] : cases) {
        SCOPED_TRACE(pane);
        CRawResponder raw([&](const std::string&, int) {
            return SRawReply{reply, ERawThen::Stall};
        });
        STransferLimits limits = Transfer().Limits();
        limits.stallTimeoutSec = 60;  // the stop, not the bound, ends the transfer
        CKolvaneDocData otherDoc;     // a list of its own: a stopped fetch leaves its state behind
        CScanFileList& list = otherDoc.m_scanFiles;
        TransferOf(list).SetLimits(limits);
        CScanFile& f = *list.AddNewScanFile();
        f.m_bHttp = 1;
        f.m_strUrl = raw.BaseUrl();
        f.m_strServerDir = "dir";
        f.m_strServerFile = "first.txt";
        f.m_strPath = dir.Path();
        f.m_strName = "first.txt";
        dir.Write("first.txt", "old first");
        int seen = 0;
        host.onPump = [&] {
            // During the stall: the pump after the status's own one.
            if (host.panes[0].rfind(pane, 0) == 0 && ++seen == (reply.empty() ? 2 : 1))
                throw SStop{};
        };
        EXPECT_THROW(remote->FetchRemoteScanFiles(list, engine, nullptr), SStop);
        host.onPump = nullptr;
        EXPECT_EQ(Local("first.txt"), "old first");
        EXPECT_EQ(FilesInTempDir(), 2) << "a temporary file was left";  // first.txt, err.log
        EXPECT_EQ(ErrorLog(), "");
    }
}

TEST_F(HttpTest, PassSucceedsWhenTheLastHttpFetchDidAfterAFailedFtpFetch) {
    WriteFileBytes(Server().Root() + "/crlf.txt", "one\r\ntwo\r\n");
    AddScanFile(true, "ftp://127.0.0.1:" + std::to_string(FreePort()), "", "a.txt", "a.txt");
    AddScanFile(false, Server().BaseUrl(), "", "crlf.txt", "b.txt");
    EXPECT_EQ(Fetch(), 1);
    EXPECT_EQ(Transfer().m_nLastFtp, 0);
    EXPECT_EQ(Transfer().m_nLastHttp, 1);
    EXPECT_EQ(EntryCount(), 1);
}

TEST_F(HttpTest, RetriesOnceAfterPromptThenReportsTheStatus) {
    // A server that keeps answering 401 gets one more request after the prompt, no more.
    CRawResponder raw([](const std::string&, int) {
        return SRawReply{
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
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
