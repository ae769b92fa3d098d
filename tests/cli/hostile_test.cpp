// What a rule or a server names stays where it belongs: a look's local copies inside its own
// directory, a server's text and a rule's names escaped on their lines of the log and terminal.
#include <filesystem>

#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace fs = std::filesystem;

TEST_F(CliTest, LookCopiesStayInTheLookDirectory) {
    CHttpServer http;
    WriteFileBytes(http.Root() + "/a.txt", "Aaa: one;\n");
    dir.Write("data/t.htm", "%%Aaa%%\n");
    // From <tmp>/kolvane-look-*/1 the name climbs to the fixture's root.
    WriteRule({"HttpURL = " + http.Url("/a.txt") + "\r\n" + Local("../../../x", "Aaa=Aaa:???? ;")});
    fs::create_directory(dir / "tmp");
    CScopedEnv tmp("TMPDIR", (dir / "tmp").c_str());
    for (const char* look : {"--values", "--dry-run"}) {
        EXPECT_EQ(Run({look, "rule.rul"}), 0) << err;
        EXPECT_TRUE(fs::is_empty(dir / "tmp") && !fs::exists(dir / "x")) << look;
    }
}

TEST_F(CliTest, ServerTextAndNamesAreShownTame) {
    CRawResponder raw([](const std::string&, int) {
        return SRawReply{
            "HTTP/1.1 404 Gone\x1b]0;t\a\rX\r\nX-A: a\r\n  *** Dec. 07, 2026 "
            "10:00:00 ***\r\nForged: entry\r\nContent-Length: 0\r\n\r\n"};
    });
    dir.Write("data/t.htm", "%%Aaa%%\n");
    WriteRule({Local("p\x1b[2J\a", "Aaa=Aaa:???? ;"),
               "HttpURL = " + raw.BaseUrl() + "/p\r\n" + Local("q", "Bbb=Bbb:???? ;")});
    const std::string headers =
        "HTTP/1.1 404 Gone\\x1B]0;t\\x07\\x0DX\r\n    X-A: a\r\n      \\x2A\\x2A\\x2A Dec. 07, "
        "2026 10:00:00 \\x2A\\x2A\\x2A\r\n    Forged: entry\r\n";
    EXPECT_EQ(Run({"--once", "rule.rul"}), 1);
    EXPECT_NE(ErrorLog().find(headers), std::string::npos) << ErrorLog();
    EXPECT_EQ(Run({"--dry-run", "rule.rul"}), 1);
    EXPECT_NE(err.find(headers), std::string::npos) << err;
    EXPECT_EQ(Run({"--values", "rule.rul"}), 1);
    EXPECT_NE(out.find("not found: data/p\\x1B[2J\\x07\n"), std::string::npos) << out;
}

}  // namespace kolvane::test
