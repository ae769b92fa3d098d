// SplitUrl against libcurl's URL API, which the transfer hands the same URLs to: the splitter
// must accept, refuse and normalise exactly as curl_url does (with unsupported schemes
// allowed), over a table of tricky URLs and a few thousand built from risky pieces.
#include "engine/url_split.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kolvane {
namespace {

// The splitter as it was over curl_url: the reference.
bool CurlSplitUrl(const std::string& text, SUrlParts& parts) {
    parts = SUrlParts{};
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
    if (text.empty() || text.find('\0') != std::string::npos ||
        curl_url_set(u.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    auto get = [&](CURLUPart what, std::string& out, unsigned flags = 0) {
        char* raw = nullptr;
        if (curl_url_get(u.get(), what, &raw, flags) != CURLUE_OK || !raw) return false;
        out = raw;
        curl_free(raw);
        return true;
    };
    if (!get(CURLUPART_SCHEME, parts.scheme) || !get(CURLUPART_HOST, parts.host) ||
        parts.host.empty())
        return false;
    std::string port = "0";
    parts.portGiven = get(CURLUPART_PORT, port);
    if (!parts.portGiven) get(CURLUPART_PORT, port, CURLU_DEFAULT_PORT);
    parts.port = std::stoi(port);
    if (!get(CURLUPART_PATH, parts.path) || parts.path.empty()) parts.path = "/";
    std::string query;
    if (get(CURLUPART_QUERY, query)) parts.path.append("?").append(query);
    get(CURLUPART_USER, parts.user);
    get(CURLUPART_PASSWORD, parts.password);
    return true;
}

std::string Shown(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x21 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

std::string Describe(bool ok, const SUrlParts& p) {
    if (!ok) return "refused";
    return p.scheme + " | " + Shown(p.host) + " | " + std::to_string(p.port) +
           (p.portGiven ? "!" : "") + " | " + Shown(p.path) + " | " + Shown(p.user) + " | " +
           Shown(p.password);
}

// The URLs on which the two readings differ, with both readings.
std::vector<std::string> Differences(const std::vector<std::string>& urls) {
    std::vector<std::string> out;
    for (const auto& url : urls) {
        SUrlParts ours, theirs;
        const std::string a = Describe(SplitUrl(url, ours), ours);
        const std::string b = Describe(CurlSplitUrl(url, theirs), theirs);
        if (a != b) out.push_back(Shown(url) + "\n   ours: " + a + "\n   curl: " + b);
    }
    return out;
}

TEST(SplitUrl, ReadsTrickyUrlsAsLibcurlDoes) {
    const std::vector<std::string> urls = {
        "http://host/data/prices.txt",
        "HTTP://Host:8080/a?b#c",
        "http:/host",
        "http:///host",
        "http:////host",
        "http:host",
        "host:8080/x",
        "data:text",
        "file:///etc/passwd",
        "file://localhost/x",
        "ftp://u:p@h/d/",
        "ftp://u:p:q@h",
        "ftp://@h",
        "ftp://:@h",
        "ftp://a@b@h",
        "imap://u;AUTH=x:p@h",
        "imap://u:p;AUTH=x@h",
        "http://u;x:p@h",
        "http://h:",
        "http://h:0",
        "http://h:65535",
        "http://h:65536",
        "http://h:0080",
        "http://h:8x",
        "http://h:-1",
        "http://:80/",
        "http://[::1]:8080/x",
        "http://[::1]x",
        "http://[0:0:0:0:0:0:0:1]/",
        "http://[FE80::1%25eth0]/",
        "http://[fe80::1%eth0]/",
        "http://[fe80::1%25]/",
        "http://[fe80::1%]/",
        "http://[fe80::1%123456789012345]/",
        "http://[fe80::1%1234567890123456]/",
        "http://[::ffff:1.2.3.4]/",
        "http://[1:2]/",
        "http://[::1/",
        "http://[]/",
        "http://127.0.0.1/",
        "http://0x7f.1/",
        "http://0177.1/",
        "http://2130706433/",
        "http://4294967296/",
        "http://1.2.3.4.5/",
        "http://08/",
        "http://0x/",
        "http://1.2.3/",
        "http://256.1.1.1/",
        "http://1.0x100/",
        "http://1./",
        "http://h%41st/",
        "http://h%2fst/",
        "http://h%00/",
        "http://h%7f/",
        "http://%31.2.3.4/",
        "http://ex!ample/",
        "http://a_b-c.d/",
        "http://h\xc3\xa9/",
        "http://h/a/../b",
        "http://h/./x",
        "http://h/..",
        "http://h/a/.",
        "http://h/a/b/../../../c",
        "http://h//x//",
        "http://h/%2e%2e/x",
        "http://h/a/..b/../c",
        "http://h/a/../b?x/../y",
        "http://h?q",
        "http://h/?",
        "http://h/#f?g",
        "http://h#f",
        "http://h/ a",
        "http://h/\ta",
        "http://h/\x7f",
        "http://h/\x80",
        std::string(40, 'a') + "://h",
        std::string(41, 'a') + "://h",
        "1http://h/",
        "+http://h/",
        "http://h/p?q#f",
        "smb://h/share",
        "x-y.z+1://h/",
        "http://user:pa%40ss@h/",
        "",
    };
    for (const auto& d : Differences(urls)) ADD_FAILURE() << d;
}

TEST(SplitUrl, ReadsEveryByteInEveryPartAsLibcurlDoes) {
    std::vector<std::string> urls;
    for (int b = 1; b < 256; ++b) {
        const std::string c(1, static_cast<char>(b));
        for (const char* form : {"s@://u:p@h/p?q#f", "h@://u:p@h/p", "h://u@:p@h/p", "h://u:p@@h/p",
                                 "h://u:p@h@/p", "h://u:p@h:8@/p", "h://u:p@h/@/p", "h://h/p?@",
                                 "h://[::1@]/", "h://@%41/", "h://%4@/", "h://%@1/"}) {
            std::string url(form);
            url.replace(url.find('@'), 1, c);
            urls.push_back(url);
        }
    }
    for (const auto& d : Differences(urls)) ADD_FAILURE() << d;
}

TEST(SplitUrl, ReadsGeneratedUrlsAsLibcurlDoes) {
    const std::vector<std::string> schemes = {"http", "HTTPS",   "ftp", "imap",
                                              "file", "x-1.a+b", "7z",  ""};
    const std::vector<std::string> seps = {"://", ":/", ":///", "://///", ":", "//"};
    const std::vector<std::string> logins = {"",    "",  "u@",     "u:p@", "u:@",
                                             ":p@", "@", "u;o:p@", "a@b@", "%75:%70@"};
    const std::vector<std::string> hosts = {"host",
                                            "HoSt.Ex",
                                            "127.0.0.1",
                                            "0x7F.1",
                                            "017700000001",
                                            "1.2.3.4.5",
                                            "09",
                                            "[::1]",
                                            "[fe80::1%25eth0]",
                                            "[FE80:0:0::1]",
                                            "[::ffff:1.2.3.4]",
                                            "[1:2]",
                                            "h%41",
                                            "h%0a",
                                            "h%2F",
                                            "e!x",
                                            "",
                                            "\xc3\xbc",
                                            "a_b",
                                            "[",
                                            "1.2.3",
                                            "256.1.1.1",
                                            "0.0.0.0",
                                            "h.",
                                            ".h"};
    const std::vector<std::string> ports = {"",       "",      ":",  ":80", ":0",
                                            ":65536", ":0080", ":x", "::80"};
    const std::vector<std::string> paths = {"",      "/",       "/a/b.txt",    "/a/../b",
                                            "/./x",  "/..",     "/a/.",        "/a/b/../../..",
                                            "//x//", "/.h/..x", "/a/..b/../c", "/%2e/"};
    const std::vector<std::string> queries = {"", "", "?", "?q=1", "?a/../b", "?x?y"};
    const std::vector<std::string> fragments = {"", "", "#", "#f", "#f?g", "#/../"};
    const std::string noise = " \t\x7f\x80%@:[]/?#.;";
    std::mt19937 rng(1234);
    auto pick = [&rng](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    std::vector<std::string> urls;
    for (int i = 0; i < 4000; ++i) {
        std::string url = pick(schemes) + pick(seps) + pick(logins) + pick(hosts) + pick(ports) +
                          pick(paths) + pick(queries) + pick(fragments);
        if (i % 4 == 0 && !url.empty()) url[rng() % url.size()] = noise[rng() % noise.size()];
        urls.push_back(url);
    }
    const auto differences = Differences(urls);
    for (std::size_t i = 0; i < differences.size() && i < 20; ++i) ADD_FAILURE() << differences[i];
    EXPECT_EQ(differences.size(), 0u);
}

}  // namespace
}  // namespace kolvane
