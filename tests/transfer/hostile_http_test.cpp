// Hostile HTTP servers, run through support/private-network (a misread redirect target would
// be looked up as a host name): a large body after any answer (only 64 KiB of it are read), a
// redirect to another scheme or from https down to plain http. Each is one entry.
#include "transfer_fixture.h"

namespace kolvane::test {
namespace {

struct SHostileCase {
    const char* name;
    std::string reply, entry;
};
class Hostile : public TransferTest, public ::testing::WithParamInterface<SHostileCase> {};

TEST_P(Hostile, AnswerIsOneEntry) {
    const SHostileCase& c = GetParam();
    CRawResponder raw([&c](const std::string&, int) { return SRawReply{c.reply}; });
    const bool put = c.reply.find(" 201 ") != std::string::npos;
    if (put) SetUpload(raw.BaseUrl(), "/site", "first.txt", "page");
    if (!put) AddScanFile(false, raw.BaseUrl(), "dir", "first.txt", "first.txt").m_strUserId = "u";
    EXPECT_EQ(put ? Upload() : Fetch(), 0);
    EXPECT_EQ(ErrorLog(), Entry(c.entry));
}

const std::string kBody = "\r\n\r\n" + std::string(1 << 20, 'x');
const std::string kTooBig = "Network failure for: first.txt: the body of the ";
INSTANTIATE_TEST_SUITE_P(
    Cases, Hostile,
    ::testing::Values(
        SHostileCase{"Error", "HTTP/1.1 500 Oops" + kBody,
                     kTooBig + "500 answer is larger than 65536 bytes"},
        SHostileCase{"Redirect", "HTTP/1.1 302 Found\r\nLocation: /b" + kBody,
                     kTooBig + "302 answer is larger than 65536 bytes"},
        // libcurl reads this body itself while it answers the challenge with the credentials.
        SHostileCase{"Challenge",
                     "HTTP/1.1 401 No\r\nWWW-Authenticate: Basic realm=\"k\"\r\nTransfer-Encoding: "
                     "chunked\r\n\r\n100000" +
                         kBody,
                     kTooBig + "401 answer is larger than 65536 bytes"},
        SHostileCase{"AnswerToPut", "HTTP/1.1 201 Created" + kBody,
                     kTooBig + "201 answer is larger than 65536 bytes"},
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
