// What a rule or a server names stays where it belongs: a look's local copies inside its own
// directory.
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

}  // namespace kolvane::test
