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

// "scheme://host" and, when the URL named one, ":port".
std::string SchemeAndHost(const SUrlParts& parts);

// The URL as it may be shown or logged: without a user name and password.
std::string UrlForDisplay(std::string_view url);

}  // namespace kolvane
