// The redirect rules, over libcurl's URL API for the resolution.
#include "transfer/redirect_target.h"

#include <curl/curl.h>

#include <memory>

#include "transfer/ascii_fold.h"
#include "transfer/url_parts.h"

namespace kolvane {
namespace {

struct SUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool FindLocation(std::string_view headers, std::string& value) {
    constexpr std::string_view kName = "location:";
    for (std::size_t pos = 0; pos < headers.size();) {
        std::size_t end = headers.find('\n', pos);
        if (end == std::string_view::npos) end = headers.size();
        std::string_view line = headers.substr(pos, end - pos);
        if (line.size() >= kName.size() && EqualAsciiFolded(line.substr(0, kName.size()), kName)) {
            value = Trimmed(line.substr(kName.size()));
            if (!value.empty()) return true;
        }
        pos = end + 1;
    }
    return false;
}

bool ResolveReference(const std::string& base, const std::string& reference, std::string& url) {
    std::unique_ptr<CURLU, SUrlDeleter> u(curl_url());
    if (!u || reference.empty() || reference.find('\0') != std::string::npos) return false;
    // With a URL already set, setting another resolves it against the first.
    if (curl_url_set(u.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(u.get(), CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK)
        return false;
    char* text = nullptr;
    if (curl_url_get(u.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return false;
    url = text;
    curl_free(text);
    return true;
}

std::string RedirectRefusal(std::string_view from, std::string_view to) {
    STransferUrl target, origin;
    if (!SplitUrlParts(to, {}, target) || target.service != EUrlService::Http)
        return MaskUrlPassword(to) + " is not an http or https URL";
    if (target.scheme == "http" && SplitUrlParts(from, {}, origin) && origin.scheme == "https")
        return "following it to " + MaskUrlPassword(to) +
               " would downgrade https to plain http, without the protection the rule asked for";
    return {};
}

}  // namespace kolvane
