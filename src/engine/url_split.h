// Splitting a URL into scheme, host, port and object path, over libcurl's URL API. The rule
// reader and the transfer both use it, so a URL is split the same way wherever it is read.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

struct SUrlParts {
    std::string scheme;  // lower case, without "://"
    std::string host;
    int port = 0;  // the URL's port, or the scheme's default when the URL names none
    bool portGiven = false;
    std::string path;  // the object: path and "?" query as written, at least "/"
    std::string user;
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
