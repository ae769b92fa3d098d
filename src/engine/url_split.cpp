// URL splitting over curl_url.
#include "url_split.h"

#include <curl/curl.h>

#include <memory>

namespace kolvane {
namespace {

struct CUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct CCharDeleter {
    void operator()(char* p) const { curl_free(p); }
};

bool GetPart(CURLU* u, CURLUPart what, std::string& out, unsigned flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(u, what, &raw, flags) != CURLUE_OK || raw == nullptr) return false;
    std::unique_ptr<char, CCharDeleter> holder(raw);
    out = raw;
    return true;
}

}  // namespace

bool SplitUrl(std::string_view url, SUrlParts& parts) {
    parts = SUrlParts{};
    // curl_url needs a NUL-terminated text; an embedded NUL or a blank is no URL.
    std::string text(url);
    if (text.empty() || text.find('\0') != std::string::npos) return false;
    std::unique_ptr<CURLU, CUrlDeleter> u(curl_url());
    if (!u) return false;
    if (curl_url_set(u.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    if (!GetPart(u.get(), CURLUPART_SCHEME, parts.scheme)) return false;
    if (!GetPart(u.get(), CURLUPART_HOST, parts.host) || parts.host.empty()) return false;
    std::string port;
    if (GetPart(u.get(), CURLUPART_PORT, port)) {
        parts.portGiven = true;
    } else if (!GetPart(u.get(), CURLUPART_PORT, port, CURLU_DEFAULT_PORT)) {
        port = "0";
    }
    parts.port = std::atoi(port.c_str());
    if (!GetPart(u.get(), CURLUPART_PATH, parts.path) || parts.path.empty()) parts.path = "/";
    std::string query;
    if (GetPart(u.get(), CURLUPART_QUERY, query)) parts.path.append("?").append(query);
    GetPart(u.get(), CURLUPART_USER, parts.user);
    GetPart(u.get(), CURLUPART_PASSWORD, parts.password);
    return true;
}

std::string SchemeAndHost(const SUrlParts& parts) {
    std::string out = parts.scheme;
    out.append("://").append(parts.host);
    if (parts.portGiven) out.append(":").append(std::to_string(parts.port));
    return out;
}

std::string UrlForDisplay(std::string_view url) {
    // Remove "user[:password]@" between "://" and the first "/" after it.
    auto sep = url.find("://");
    std::size_t authStart = sep == std::string_view::npos ? 0 : sep + 3;
    auto authEnd = url.find_first_of("/?#", authStart);
    if (authEnd == std::string_view::npos) authEnd = url.size();
    auto at = url.substr(authStart, authEnd - authStart).rfind('@');
    if (at == std::string_view::npos) return std::string(url);
    std::string out(url.substr(0, authStart));
    out += url.substr(authStart + at + 1);
    return out;
}

}  // namespace kolvane
