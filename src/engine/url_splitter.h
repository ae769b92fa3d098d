// How the engine reads a URL: through a splitter the process installs. Splitting is libcurl's
// (its URL API), which the engine does not link: a rule without a URL must bring no network
// library into the process. The run layer installs a splitter that loads the transfer module
// when a rule first names a URL (run/transfer_loader.h); such a rule needs the module anyway.
#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// The parts of a URL the rule reader keeps.
struct SUrlParts {
    std::string scheme;  // lower case
    std::string host;    // "%XX" decoded; an IPv4 or IPv6 address in its normal form
    int port = 0;        // the URL's, or the scheme's default
    bool portGiven = false;
    std::string path;   // the object: path ("." and ".." resolved) and "?" query, at least "/"
    bool http = false;  // a scheme the HTTP transfer takes
};

// What a splitter made of a URL. CannotTell: libcurl cannot be had (the transfer module is
// missing), so the reader takes the URL as written and the run reports the missing module.
enum class EUrlRead { Split, Refused, CannotTell };

class IUrlSplitter {
  public:
    // Splits a URL as a rule gives it: as written, or with "defaultScheme://" in front when it
    // names no scheme. Refused when it is no URL with a scheme and a server; a URL that names
    // a scheme and does not split is refused, never guessed at.
    virtual EUrlRead SplitRuleUrl(std::string_view url, std::string_view defaultScheme,
                                  SUrlParts& parts) const = 0;
    // The URL as every message, log line and report shows it: the password of its user part
    // replaced by "********".
    virtual std::string MaskUrl(std::string_view url) const = 0;

  protected:
    ~IUrlSplitter() = default;
};

// The process's splitter from now on (null: none).
void SetUrlSplitter(const IUrlSplitter* splitter);
const IUrlSplitter& UrlSplitter();
// The stand-in while none is installed (or libcurl cannot be had): it cannot tell of any URL,
// and a URL with a user part shows masked from its scheme to its last "@".
const IUrlSplitter& NoUrlSplitter();

// "scheme://host" and, when the URL named one, ":port".
std::string SchemeAndHost(const SUrlParts& parts);

}  // namespace kolvane
