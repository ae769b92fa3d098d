// URL splitting over curl_url, and the password masking that needs to know where a URL's
// authority ends.
#include "transfer/url_parts.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "transfer/file_schemes.h"

namespace kolvane {
namespace {

struct SUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The scheme `url` begins with, lower case, as libcurl finds one: a letter, then letters,
// digits and "+-.", then ":"; empty when there is none.
std::string LeadingScheme(std::string_view url) {
    constexpr std::size_t kMaxScheme = 40;
    if (url.empty() || !IsAsciiLetter(url[0])) return {};
    std::string scheme;
    for (char c : url) {
        if (c == ':') return scheme;
        if (scheme.size() >= kMaxScheme ||
            !(IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))
            return {};
        scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return {};
}

// True when `url` names a scheme: one followed by ":/", or one libcurl knows followed by ":"
// ("http:80" names one, "localhost:80" does not).
bool NamesScheme(std::string_view url) {
    const std::string scheme = LeadingScheme(url);
    if (scheme.empty()) return false;
    if (url.size() > scheme.size() + 1 && url[scheme.size() + 1] == '/') return true;
    for (const char* const* p = curl_version_info(CURLVERSION_NOW)->protocols; *p; ++p)
        if (scheme == *p) return true;
    return false;
}

bool SplitAsWritten(const std::string& text, STransferUrl& parts) {
    parts = STransferUrl{};
    std::unique_ptr<CURLU, SUrlDeleter> u(curl_url());
    if (!u || text.empty() || text.find('\0') != std::string::npos ||
        curl_url_set(u.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    auto get = [&](CURLUPart what, std::string& out, unsigned flags = 0) {
        char* raw = nullptr;
        if (curl_url_get(u.get(), what, &raw, flags) != CURLUE_OK || !raw) return false;
        out = raw;
        curl_free(raw);
        return true;
    };
    // A URL without a server ("file:///x") is none a transfer can use.
    if (!get(CURLUPART_SCHEME, parts.scheme) || !get(CURLUPART_HOST, parts.host) ||
        parts.host.empty())
        return false;
    std::string port;
    parts.portGiven = get(CURLUPART_PORT, port);
    if (parts.portGiven || get(CURLUPART_PORT, port, CURLU_DEFAULT_PORT))
        parts.port = std::stoi(port);
    if (!get(CURLUPART_PATH, parts.path) || parts.path.empty()) parts.path = "/";
    if (std::string query; get(CURLUPART_QUERY, query)) parts.path.append("?").append(query);
    parts.service = ServiceOfScheme(parts.scheme);
    return true;
}

}  // namespace

bool ParsesAsUrl(std::string_view url) {
    std::unique_ptr<CURLU, SUrlDeleter> u(curl_url());
    const std::string text(url);
    return u && !text.empty() && text.find('\0') == std::string::npos &&
           curl_url_set(u.get(), CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
}

EUrlService ServiceOfScheme(std::string_view scheme) {
    if (FindFileScheme(scheme) != nullptr) return EUrlService::Ftp;
    return scheme == "http" || scheme == "https" ? EUrlService::Http : EUrlService::Other;
}

bool SplitUrlParts(std::string_view url, std::string_view defaultScheme, STransferUrl& parts) {
    if (defaultScheme.empty() || NamesScheme(url)) return SplitAsWritten(std::string(url), parts);
    return SplitAsWritten(std::string(defaultScheme).append("://").append(url), parts);
}

std::string MaskUrlPassword(std::string_view url) {
    std::size_t start = 0;
    if (NamesScheme(url)) {
        start = url.find(':') + 1;
        while (start < url.size() && url[start] == '/') ++start;
    }
    STransferUrl parts;
    std::size_t at;
    if (SplitUrlParts(url, "http", parts)) {
        // The authority ends at the first "/", "?" or "#"; its user part at its first "@".
        const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
        at = url.substr(0, end).find('@', start);
    } else {
        at = url.rfind('@');
    }
    if (at == std::string_view::npos || at < start) return std::string(url);
    const std::size_t colon = url.substr(0, at).find(':', start);
    if (colon == std::string_view::npos) return std::string(url);
    return std::string(url.substr(0, colon + 1)).append("********").append(url.substr(at));
}

}  // namespace kolvane
