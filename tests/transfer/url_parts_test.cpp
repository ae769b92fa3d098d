// The URL splitting the rule reader and the transfer share: when a rule's URL names a scheme,
// the scheme table, and the masking, whose end of the user part depends on the split.
#include "transfer/url_parts.h"

#include <gtest/gtest.h>

namespace kolvane {
namespace {

TEST(UrlParts, SplitsAsRulesGiveUrls) {
    const struct {
        const char* url;
        const char* shown;  // scheme|host|port(! given)|path|service, or "refused"
    } cases[] = {
        {"localhost:80/a", "ftp|localhost|80!|/a|1"},    // no scheme: the default's
        {"http:80", "refused"},                          // a scheme libcurl knows
        {"HTTPS://H/./a/../b?q", "https|H|443|/b?q|2"},  // dot segments resolved
        {"gopher://h", "gopher|h|70|/|0"},               // known, not in the table
        {"x-y://u:p@h:7", "x-y|h|7!|/|0"},               // unknown schemes split
        {"file:///etc/passwd", "refused"},               // no server
        {"http://u:pw@h:1:bad", "refused"},              // never guessed at
        {"h/a b", "refused"},
    };
    for (const auto& c : cases) {
        STransferUrl u;
        std::string shown = "refused";
        if (SplitUrlParts(c.url, "ftp", u))
            shown = u.scheme + "|" + u.host + "|" + std::to_string(u.port) +
                    (u.portGiven ? "!" : "") + "|" + u.path + "|" +
                    std::to_string(static_cast<int>(u.service));
        EXPECT_EQ(shown, c.shown) << c.url;
    }
}

TEST(UrlParts, MasksThePasswordWhereverTheUserPartEnds) {
    EXPECT_EQ(MaskUrlPassword("ftp://bob:pw@h/p@x:y"), "ftp://bob:********@h/p@x:y");
    EXPECT_EQ(MaskUrlPassword("bob:pw@h:21"), "bob:********@h:21");
    EXPECT_EQ(MaskUrlPassword("http://al:p/w@h:1:bad@x"), "http://al:********@x");
    EXPECT_EQ(MaskUrlPassword("http://bob@h/a:b@c"), "http://bob@h/a:b@c");
}

}  // namespace
}  // namespace kolvane
