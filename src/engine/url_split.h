// Splitting a URL into scheme, host, port and object path, the way libcurl's URL API reads it
// (without linking libcurl). The rule reader and the transfer both use it, so a URL is split
// the same way wherever it is read.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

struct SUrlParts {
    std::string scheme;  // lower case, without "://"
    std::string host;    // "%XX" decoded; an IPv4 or IPv6 address in its normal form
    int port = 0;        // the URL's port, or the scheme's default when the URL names none
    bool portGiven = false;
    std::string path;  // the object: path ("." and ".." resolved) and "?" query, at least "/"
    std::string user;  // user and password as written, not decoded
    std::string password;
};

// Splits `url`; false when it is not a URL with a scheme and a host (a text without a scheme
// fails). Only ASCII letters, digits and "+-." may form the scheme.
bool SplitUrl(std::string_view url, SUrlParts& parts);

// True when `url` begins with a scheme: a letter, scheme characters and ":" followed by "/",
// or a scheme libcurl knows followed by ":" ("http:80" names one, "localhost:80" does not).
bool NamesScheme(std::string_view url);

// Splits a URL as a rule gives it: as written, or with "defaultScheme://" in front when it
// names no scheme. A URL that names a scheme and does not split is refused, never guessed at
// (with a scheme put in front again, "http://u:pw@h:1:bad" would read as host "http").
bool SplitRuleUrl(std::string_view url, std::string_view defaultScheme, SUrlParts& parts);

// "scheme://host" and, when the URL named one, ":port".
std::string SchemeAndHost(const SUrlParts& parts);

// The URL as every message, log line and report shows it: the password of its user part
// replaced by "********" ("user:********@host"). In a URL that does not split, the user part
// reaches the last "@", so no piece of a password shows there either.
std::string MaskUrlPassword(std::string_view url);

}  // namespace kolvane
