// HTTP(S) PUT uploads against nginx's WebDAV module on 127.0.0.1, and the request as sent,
// seen by a raw responder.
#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>

#include "test_servers.h"
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

class HttpUploadTest : public TransferTest {
  protected:
    static void SetUpTestSuite() { s_server = std::make_unique<CHttpServer>(); }
    static void TearDownTestSuite() { s_server.reset(); }
    static CHttpServer& Server() { return *s_server; }
    static inline std::unique_ptr<CHttpServer> s_server;
};

struct SPutCase {
    const char* name;
    bool https;
    const char* serverDir;
    const char* user;
    std::vector<ECredentialsResult> answers;
    int result;
    const char* remote;  // the file that must hold the upload, below Root(); nullptr: none
    std::vector<std::string> entries;  // the entries' starts, in order
    friend void PrintTo(const SPutCase& c, std::ostream* os) { *os << c.name; }
};

class HttpPut : public HttpUploadTest, public ::testing::WithParamInterface<SPutCase> {};

using R = ECredentialsResult;
const std::string kPage = "<p>new page</p>\r\n";

TEST_P(HttpPut, UploadsOrReports) {
    const SPutCase& c = GetParam();
    std::string base = c.https ? Server().HttpsBaseUrl() : Server().BaseUrl();
    SetUpload(base, c.serverDir, "page.html", kPage);
    if (*c.user) {
        doc.m_cmd.m_strUploadUserId = c.user;
        doc.m_cmd.m_strUploadPassword = CHttpServer::kPassword;
    }
    for (auto a : c.answers)
        host.credentialAnswers.push_back({a, CHttpServer::kUser, CHttpServer::kPassword});

    EXPECT_EQ(Upload(), c.result);
    EXPECT_EQ(Transfer().m_nLastHttp, c.result);
    if (c.remote) {
        EXPECT_EQ(ReadFile(Server().Root() + "/" + c.remote), kPage);
    }
    std::string log = ErrorLog();
    std::size_t at = 0;
    for (const auto& e : c.entries) {
        at = log.find(e, at);
        EXPECT_NE(at, std::string::npos) << "missing " << e << " in " << log;
    }
    EXPECT_EQ(EntryCount(), static_cast<int>(c.entries.size())) << log;
    EXPECT_EQ(host.cursorDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpPut,
    ::testing::Values(
        SPutCase{"Created", false, "new/dir", "", {}, 1, "new/dir/page.html", {}},
        SPutCase{"Https", true, "tls", "", {}, 1, "tls/page.html", {}},
        SPutCase{"RuleCredentials", false, "auth", CHttpServer::kUser, {}, 1, "auth/page.html", {}},
        SPutCase{"PromptedCredentials", false, "auth", "", {R::Success}, 1, "auth/page.html", {}},
        SPutCase{"Denied",
                 false,
                 "auth",
                 "",
                 {R::Cancelled},
                 0,
                 nullptr,
                 {"Access denied: 'auth' Invalid password!\r\n  ***"}},
        SPutCase{"RedirectedPut", false, "r302/moved", "", {}, 1, "moved/page.html", {}},
        SPutCase{"RedirectedPutRefused",
                 false,
                 "r301/readonly",
                 "",
                 {},
                 0,
                 nullptr,
                 {"Error: Got status code 405: putting'r301/readonly'!\r\n  ***"}},
        SPutCase{"NotAllowed",
                 false,
                 "readonly",
                 "",
                 {},
                 0,
                 nullptr,
                 {"Server does NOT support Http PUT, use FTP to upload file!\r\nServer response "
                  "was:\r\n  ***",
                  "HTTP/1.1 405 Not Allowed\r\n"}},
        SPutCase{"NotFound",
                 false,
                 "status/404",
                 "",
                 {},
                 0,
                 nullptr,
                 {"The server has not found anything matching the URI, check your path!\r\n",
                  "HTTP/1.1 404 Not Found\r\n"}}),
    CaseName());

TEST_F(HttpUploadTest, ReplacingAnswers204AndCountsAsSuccess) {
    WriteFileBytes(Server().Root() + "/www/page.html", "old");
    // The scheme in capitals still goes by HTTP.
    SetUpload("HTTP://127.0.0.1:" + std::to_string(Server().Port()), "www", "page.html", kPage);
    EXPECT_EQ(Upload(), 1);
    EXPECT_EQ(ReadFile(Server().Root() + "/www/page.html"), kPage);
    EXPECT_EQ(ErrorLog(), "");
    ASSERT_FALSE(host.paneHistory.empty());
    EXPECT_EQ(host.paneHistory[0].second, "Putting via http: page.html");
}

struct SLocalCase {
    const char* name;
    std::size_t size;  // of the local file; SIZE_MAX: no local file
    int result;
    const char* entry;  // with "%s" for the local file name; nullptr: none
    ELogKind kind;
    friend void PrintTo(const SLocalCase& c, std::ostream* os) { *os << c.name; }
};

class HttpPutLocal : public HttpUploadTest, public ::testing::WithParamInterface<SLocalCase> {};

TEST_P(HttpPutLocal, ChecksTheLocalFileBeforeSending) {
    const SLocalCase& c = GetParam();
    WriteFileBytes(Server().Root() + "/local/page.html", "old");
    SetUpload(Server().BaseUrl(), "local", "page.html",
              std::string(c.size == SIZE_MAX ? 0 : c.size, 'x'));
    if (c.size == SIZE_MAX) std::filesystem::remove(dir / "out.html");
    EXPECT_EQ(Upload(), c.result);
    if (c.entry) {
        std::string text = c.entry;
        text.replace(text.find("%s"), 2, dir / "out.html");
        EXPECT_EQ(ErrorLog(), Entry(text));
        EXPECT_EQ(ReadFile(Server().Root() + "/local/page.html"), "old");
    } else {
        EXPECT_EQ(ReadFile(Server().Root() + "/local/page.html").size(), c.size);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpPutLocal,
    ::testing::Values(
        SLocalCase{"LargestAllowed", 480000, 1, nullptr, ELogKind::Plain},
        SLocalCase{"TooBig", 480001, 0, "Source File %s is tooooooo big!", ELogKind::Plain},
        SLocalCase{"Empty", 0, 0, "Source File %s is Empty!", ELogKind::Plain},
        SLocalCase{"Missing", SIZE_MAX, 0, "Couldn't Open local file: %s!\r\n", ELogKind::Plain}),
    CaseName());

TEST_F(HttpUploadTest, SendsOnePutWithTheBodyAndRedirectsWithoutItsHeaders) {
    for (const char* redirect : {"302 Found", "307 Temporary Redirect", "308 Permanent Redirect"}) {
        SCOPED_TRACE(redirect);
        std::atomic<int> port{0};
        CRawResponder raw([&port, redirect](const std::string&, int connection) {
            if (connection == 0)
                return SRawReply{std::string("HTTP/1.1 ") + redirect +
                                 "\r\nLocation: http://127.0.0.1:" + std::to_string(port.load()) +
                                 "/moved/page.html\r\nContent-Length: 0\r\n\r\n"};
            return SRawReply{"HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n"};
        });
        port = raw.Port();
        SetUpload(raw.BaseUrl(), "www", "page.html", kPage);
        EXPECT_EQ(Upload(), 1);
        auto requests = raw.Requests();
        ASSERT_EQ(requests.size(), 2u);
        const std::string& first = requests[0];
        EXPECT_EQ(first.rfind("PUT /www/page.html HTTP/1.1\r\n", 0), 0u) << first;
        EXPECT_NE(first.find("\r\nAccept: */*\r\n"), std::string::npos) << first;
        EXPECT_NE(first.find("\r\nUser-Agent: Kolvane\r\n"), std::string::npos) << first;
        EXPECT_NE(first.find("\r\nContent-Length: 17\r\n"), std::string::npos) << first;
        EXPECT_EQ(first.substr(first.size() - kPage.size()), kPage);
        const std::string& second = requests[1];
        EXPECT_EQ(second.rfind("PUT /moved/page.html HTTP/1.1\r\n", 0), 0u) << second;
        EXPECT_EQ(second.find("Accept:"), std::string::npos) << second;
        EXPECT_EQ(second.substr(second.size() - kPage.size()), kPage);
        EXPECT_EQ(doc.m_cmd.m_strUploadUrl, raw.BaseUrl()) << "a redirect changes only this upload";
    }
    EXPECT_EQ(ErrorLog(), "");
}

// The fault matrix of an HTTP upload: one entry each, the connection and request closed, and
// the next upload goes through.

class HttpPutFault : public HttpUploadTest, public ::testing::WithParamInterface<SFaultCase> {};

TEST_P(HttpPutFault, IsOneEntryAndTheNextUploadGoesThrough) {
    const SFaultCase& c = GetParam();
    CurlGlobalInit();  // its descriptors, if any, are not the upload's
    const int fds = OpenFds();
    auto responder = FaultResponder(c);
    CRawResponder& raw = *responder;
    std::string url = FaultUrl(c, raw);
    SetUpload(url, "www", "page.html", kPage);
    doc.m_cmd.m_strUploadUserId = "u";
    doc.m_cmd.m_strUploadPassword = "p";
    // Force-retry shows the prompt three times; a case with one prompt gets new credentials.
    host.credentialAnswers.push_back({c.prompts == 1 ? R::Success : R::ForceRetry, "u", "p"});
    host.repeatLastAnswer = true;

    EXPECT_EQ(Upload(), 0);
    EXPECT_EQ(EntryCount(), 1) << ErrorLog();
    EXPECT_EQ(ErrorLog().rfind(c.entry, 0), 0u) << ErrorLog();
    EXPECT_EQ(host.credentialPrompts.size(), c.prompts);
    EXPECT_EQ(host.cursorDepth, 0);
    EXPECT_FALSE(Transfer().m_pRequest || Transfer().m_pHttp);
    // The session stays open for the next operation (and may keep a connection to reuse);
    // closing it must leave nothing open.
    Transfer().m_pSession.reset();
    responder.reset();
    EXPECT_EQ(OpenFds(), fds) << "a socket or file was left open";

    SetUpload(Server().BaseUrl(), "fault", std::string("page-") + c.name + ".html", kPage);
    EXPECT_EQ(Upload(), 1);
    EXPECT_EQ(ReadFile(Server().Root() + "/fault/page-" + c.name + ".html"), kPage);
    EXPECT_EQ(EntryCount(), 1);
}

const std::string kLoopTo = "Location: http://127.0.0.1:{port}/www/page.html\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpPutFault,
    ::testing::Values(
        SFaultCase{"ConnectionRefused", "", ERawThen::Close,
                   "Network failure for: page.html: Failed to connect to 127.0.0.1 port ",
                   "http://127.0.0.1:{free}"},
        SFaultCase{"NameNotFound", "", ERawThen::Close,
                   "Network failure for: page.html: Could not resolve host: "
                   "no-such-host..invalid  ***",
                   "http://no-such-host..invalid"},
        SFaultCase{"StallBeforeAnswer", "", ERawThen::Stall,
                   "Network failure for: page.html: Operation too slow. "},
        SFaultCase{"ResetBeforeAnswer", "", ERawThen::Reset,
                   "Network failure for: page.html: Recv failure: Connection reset by peer  ***"},
        SFaultCase{"ResetInAnswer", "HTTP/1.1 201 Created\r\nContent-Le", ERawThen::Reset,
                   "Network failure for: page.html: Recv failure: Connection reset by peer  ***"},
        // One redirect is followed; the second 302 is the upload's failure.
        SFaultCase{"RedirectLoop", "HTTP/1.1 302 Found\r\n" + kLoopTo + "Content-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Got status code 302: putting'www'!\r\n  ***"},
        SFaultCase{"UnauthorizedLoop",
                   "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"k\"\r\n"
                   "Content-Length: 0\r\n\r\n",
                   ERawThen::Close, "Access denied: 'www' Invalid password!\r\n  ***", nullptr, 3},
        // Answers that are neither success nor followed, nor reported by the status table.
        SFaultCase{"BadRequest", "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Got status code 400: putting'www'!\r\n  ***"},
        SFaultCase{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", ERawThen::Close,
                   "Error: Got status code 304: putting'www'!\r\n  ***"},
        SFaultCase{"UseProxy", "HTTP/1.1 305 Use Proxy\r\nContent-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Got status code 305: putting'www'!\r\n  ***"},
        SFaultCase{"Accepted", "HTTP/1.1 202 Accepted\r\nContent-Length: 0\r\n\r\n",
                   ERawThen::Close, "Error: Got status code 202: putting'www'!\r\n  ***"},
        SFaultCase{"UnauthorizedAfterNewCredentials",
                   "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n", ERawThen::Close,
                   "Error: Got status code 401: putting'www'!\r\n  ***", nullptr, 1},
        SFaultCase{"HeaderBlockTooLong",
                   "HTTP/1.1 201 Created\r\n" +
                       [] {
                           std::string lines;
                           for (int i = 0; i < 1100; ++i)
                               lines += "X-F" + std::to_string(i) + ": " + std::string(180, 'y') +
                                        "\r\n";
                           return lines;
                       }() +
                       "Content-Length: 0\r\n\r\n",
                   ERawThen::Close,
                   "Network failure for: page.html: the response headers are larger than "
                   "102400 bytes  ***"}),
    CaseName());

}  // namespace
}  // namespace kolvane::test
