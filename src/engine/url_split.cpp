// URL splitting by hand, without libcurl: the rule reader runs in every process and must not
// bring in the network library's forty shared libraries. The transfer hands the same URLs to
// libcurl later, so the splitter keeps libcurl's own reading of a URL (its URL API with
// unsupported schemes allowed): the same refusals, the same normalised host and path. A test
// compares the two over tricky and generated URLs.
#include "engine/url_split.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/text_ops.h"

namespace kolvane {
namespace {

constexpr std::size_t kMaxUrlLength = 8000000;  // libcurl refuses longer input
constexpr std::size_t kMaxSchemeLength = 40;

bool IsSchemeChar(char c) {
    return IsDigit(c) || (FoldAscii(c) >= 'a' && FoldAscii(c) <= 'z') || c == '+' || c == '-' ||
           c == '.';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct SSchemeInfo {
    std::string_view name;
    int port;
    bool loginOptions;  // ";options" in the login part (mail protocols)
};

// The schemes libcurl knows (as Debian builds it), with their default ports.
constexpr std::array<SSchemeInfo, 30> kSchemes{{
    {"dict", 2628, false},  {"file", 0, false},     {"ftp", 21, false},   {"ftps", 990, false},
    {"gopher", 70, false},  {"gophers", 70, false}, {"http", 80, false},  {"https", 443, false},
    {"imap", 143, true},    {"imaps", 993, true},   {"ldap", 389, false}, {"ldaps", 636, false},
    {"mqtt", 1883, false},  {"pop3", 110, true},    {"pop3s", 995, true}, {"rtmp", 1935, false},
    {"rtmpe", 1935, false}, {"rtmps", 443, false},  {"rtmpt", 80, false}, {"rtmpte", 80, false},
    {"rtmpts", 443, false}, {"rtsp", 554, false},   {"scp", 22, false},   {"sftp", 22, false},
    {"smb", 445, false},    {"smbs", 445, false},   {"smtp", 25, true},   {"smtps", 465, true},
    {"telnet", 23, false},  {"tftp", 69, false},
}};

const SSchemeInfo* FindScheme(std::string_view scheme) {
    for (const auto& s : kSchemes)
        if (s.name == scheme) return &s;
    return nullptr;
}

// One number of a numeric IPv4 host as strtoul with base 0 reads it: "0x" hex, "0" octal,
// else decimal. Stops at the first character that is no digit of its base.
std::optional<std::uint32_t> ReadIpv4Part(std::string_view s, std::size_t& i) {
    unsigned base = 10;
    if (s[i] == '0') {
        base = 8;
        if (i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexValue(s[i + 2]) >= 0) {
            base = 16;
            i += 2;
        }
    }
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const int d = HexValue(s[i]);
        if (d < 0 || unsigned(d) >= base) break;
        value = value * base + unsigned(d);
        if (value > 0xffffffffu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// A host written as an IPv4 number in any of the forms inet_aton knows ("1.2.3.4", "0x7f.1",
// "2130706433"), as a dotted quad; nothing when it is a name.
std::optional<std::string> NormalIpv4(std::string_view host) {
    std::array<std::uint32_t, 4> parts{};
    int n = 0;
    std::size_t i = 0;
    for (;;) {
        if (i >= host.size() || !IsDigit(host[i])) return std::nullopt;
        auto part = ReadIpv4Part(host, i);
        if (!part) return std::nullopt;
        parts[n] = *part;
        if (i == host.size()) break;
        if (host[i] != '.' || n == 3) return std::nullopt;
        ++n;
        ++i;
    }
    static constexpr std::array<std::uint32_t, 4> kLastMax{0xffffffffu, 0xffffffu, 0xffffu, 0xffu};
    for (int k = 0; k < n; ++k)
        if (parts[k] > 0xff) return std::nullopt;
    if (parts[n] > kLastMax[n]) return std::nullopt;
    std::uint32_t address = parts[n];
    for (int k = 0; k < n; ++k) address |= parts[k] << (8 * (3 - k));
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xff) + "." +
           std::to_string((address >> 8) & 0xff) + "." + std::to_string(address & 0xff);
}

// "[address]" or "[address%zone]": the address in its shortest form, in brackets, without
// the zone; false when it is no IPv6 address.
bool NormalIpv6(std::string& host) {
    if (host.size() < 4) return false;
    const std::string_view inner = std::string_view(host).substr(1, host.size() - 2);
    std::size_t len = inner.find_first_not_of("0123456789abcdefABCDEF:.");
    if (len != std::string_view::npos) {
        if (inner[len] != '%') return false;
        std::string_view zone = std::string_view(host).substr(len + 2);  // up to the bracket
        if (zone.size() > 2 && zone.substr(0, 2) == "25" && zone[2] != ']') zone.remove_prefix(2);
        const std::size_t close = zone.find(']');
        if (close == 0 || close > 15) return false;
    } else {
        len = inner.size();
    }
    const std::string address(inner.substr(0, len));
    unsigned char binary[16];
    if (inet_pton(AF_INET6, address.c_str(), binary) != 1) return false;
    char text[INET6_ADDRSTRLEN];
    const bool shorter = inet_ntop(AF_INET6, binary, text, sizeof text) &&
                         std::string_view(text).size() < address.size();
    host = "[" + (shorter ? std::string(text) : address) + "]";
    return true;
}

// A host name with "%XX" escapes decoded; false when one decodes to a control character.
bool DecodeHost(std::string& host) {
    if (host.find('%') == std::string::npos) return true;
    std::string out;
    for (std::size_t i = 0; i < host.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(host[i]);
        if (c == '%' && i + 2 < host.size() && HexValue(host[i + 1]) >= 0 &&
            HexValue(host[i + 2]) >= 0) {
            c = static_cast<unsigned char>(HexValue(host[i + 1]) * 16 + HexValue(host[i + 2]));
            i += 2;
        }
        if (c < 0x20) return false;
        out += static_cast<char>(c);
    }
    host = std::move(out);
    return true;
}

// The authority's host part, "host[:port]" or "[v6][:port]", into the parts.
bool SplitHostPort(std::string_view text, SUrlParts& parts) {
    std::size_t colon;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        if (close + 1 < text.size() && text[close + 1] != ':') return false;
        colon = close + 1 < text.size() ? close + 1 : std::string_view::npos;
    } else {
        colon = text.find(':');
    }
    std::string host(text.substr(0, colon));
    if (colon != std::string_view::npos && colon + 1 < text.size()) {
        const std::string_view digits = text.substr(colon + 1);
        long port = 0;
        for (char c : digits) {
            if (!IsDigit(c)) return false;
            port = port * 10 + (c - '0');
            if (port > 0xffff) return false;
        }
        parts.port = static_cast<int>(port);
        parts.portGiven = true;
    }
    if (host.empty()) return false;
    if (host.front() == '[') {
        if (!NormalIpv6(host)) return false;
    } else if (auto v4 = NormalIpv4(host)) {
        host = std::move(*v4);
    } else if (!DecodeHost(host) ||
               host.find_first_of(" \r\n\t/:#?!@{}[]\\$'\"^`*<>=;,+&()") != std::string::npos) {
        return false;
    }
    parts.host = std::move(host);
    return true;
}

// "user[:password]" (and ";options" for the mail schemes, which are dropped) into the parts.
void SplitLogin(std::string_view login, bool options, SUrlParts& parts) {
    const std::size_t colon = login.find(':');
    const std::size_t semi = options ? login.find(';') : std::string_view::npos;
    parts.user = std::string(login.substr(0, std::min(colon, semi)));
    if (colon == std::string_view::npos) return;
    const std::size_t end = semi != std::string_view::npos && semi > colon ? semi : login.size();
    parts.password = std::string(login.substr(colon + 1, end - colon - 1));
}

// The path with its "." and ".." segments removed, as RFC 3986 (5.2.4) does it.
std::string RemoveDotSegments(std::string_view in) {
    if (in.find('.') == std::string_view::npos) return std::string(in);
    std::string out;
    auto dropLastSegment = [&out] {
        const std::size_t slash = out.rfind('/');
        out.resize(slash == std::string::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.substr(0, 3) == "/./") {
            in.remove_prefix(2);
        } else if (in == "/.") {
            out += '/';
            break;
        } else if (in.substr(0, 4) == "/../") {
            in.remove_prefix(3);
            dropLastSegment();
        } else if (in == "/..") {
            dropLastSegment();
            out += '/';
            break;
        } else {
            const std::size_t next = in.find('/', 1);
            out += in.substr(0, next);
            in.remove_prefix(next == std::string_view::npos ? in.size() : next);
        }
    }
    return out;
}

}  // namespace

bool SplitUrl(std::string_view url, SUrlParts& parts) {
    parts = SUrlParts{};
    if (url.empty() || url.size() > kMaxUrlLength) return false;
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7f) return false;  // control characters and blanks
    }
    std::size_t i = 0;
    while (i < url.size() && i < kMaxSchemeLength && IsSchemeChar(url[i])) ++i;
    if (i == 0 || i >= url.size() || url[i] != ':') return false;
    for (std::size_t k = 0; k < i; ++k) parts.scheme += FoldAscii(url[k]);
    if (parts.scheme == "file") return false;  // a file URL names no host
    std::size_t slashes = 0;
    std::size_t p = i + 1;
    while (p < url.size() && url[p] == '/' && slashes < 4) ++p, ++slashes;
    if (slashes < 1 || slashes > 3) return false;

    const std::string_view rest = url.substr(p);
    const std::size_t hostEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view authority = rest.substr(0, hostEnd);
    if (authority.empty()) return false;
    const SSchemeInfo* info = FindScheme(parts.scheme);
    if (const std::size_t at = authority.find('@'); at != std::string_view::npos) {
        SplitLogin(authority.substr(0, at), info && info->loginOptions, parts);
        authority.remove_prefix(at + 1);
    }
    if (!SplitHostPort(authority, parts)) return false;
    if (!parts.portGiven) parts.port = info ? info->port : 0;

    std::string_view path = rest.substr(hostEnd);
    path = path.substr(0, path.find('#'));
    const std::size_t question = path.find('?');
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : path.substr(question);
    path = path.substr(0, question);
    parts.path = path.size() <= 1 ? std::string("/") : RemoveDotSegments(path);
    parts.path += query;
    return true;
}

std::string SchemeAndHost(const SUrlParts& parts) {
    std::string out = parts.scheme;
    out.append("://").append(parts.host);
    if (parts.portGiven) out.append(":").append(std::to_string(parts.port));
    return out;
}

bool NamesScheme(std::string_view url) {
    std::size_t i = 0;
    while (i < url.size() && i < kMaxSchemeLength && IsSchemeChar(url[i])) ++i;
    if (i == 0 || i >= url.size() || url[i] != ':' || IsDigit(url[0]) || url[0] == '+' ||
        url[0] == '-' || url[0] == '.')
        return false;
    if (i + 1 < url.size() && url[i + 1] == '/') return true;
    std::string scheme;
    for (std::size_t k = 0; k < i; ++k) scheme += FoldAscii(url[k]);
    return FindScheme(scheme) != nullptr;
}

bool SplitRuleUrl(std::string_view url, std::string_view defaultScheme, SUrlParts& parts) {
    if (NamesScheme(url)) return SplitUrl(url, parts);
    std::string prefixed(defaultScheme);
    prefixed.append("://").append(url);
    return SplitUrl(prefixed, parts);
}

std::string MaskUrlPassword(std::string_view url) {
    std::size_t start = 0;
    if (NamesScheme(url)) {
        start = url.find(':') + 1;
        while (start < url.size() && url[start] == '/') ++start;
    }
    SUrlParts parts;
    std::size_t at;
    if (SplitRuleUrl(url, "http", parts)) {
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
