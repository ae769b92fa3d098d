// Files that other users may have prepared, long output names, and the runner's own lock.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <tuple>

#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

namespace fs = std::filesystem;

class HostileFilesTest : public CliTest {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to another user";
        other = ::getpwnam("nobody")->pw_uid;
        dir.Write("data/a.txt", "Aaa: fresh EUR\n");
        dir.Write("data/t.htm", "%%Aaa%%\n");
    }
    std::string Rule(const std::string& head = "", const std::string& extra = "") {
        return WriteRule({head + Local("a.txt", "Aaa=Aaa:???? EUR\r\n")}, extra);
    }
    using Row = std::tuple<const char*, unsigned, unsigned>;
    unsigned other = 0;
};

// Links at the output, error log, local copy: only the runner's or the folder owner's are followed.
TEST_F(HostileFilesTest, LinksOfAnotherUserAreNotWrittenThrough) {
    CRawResponder server([](const std::string&, int) {
        return SRawReply{"HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\nAaa: fetch EUR\n"};
    });
    for (auto [link, linkOwner, folderOwner] :
         {Row("out/page.htm", other, 0), Row("out/err.log", other, 0), Row("data/a.txt", other, 0),
          Row("out/page.htm", 0, 0), Row("out/page.htm", other, other)}) {
        const bool followed = linkOwner == 0 || linkOwner == folderOwner;
        fs::remove_all(dir / "out"), fs::create_directory(dir / "out"), fs::remove(dir / "victim");
        fs::remove(dir / "data/a.txt"), fs::create_symlink(dir / "victim", dir / link);
        ::lchown((dir / link).c_str(), linkOwner, -1);
        ::chown((dir / "out").c_str(), folderOwner, -1);
        Rule("HttpURL = " + server.BaseUrl() + "/a.txt\r\n");
        EXPECT_EQ(Run({"--once", "rule.rul"}), followed ? 0 : 1) << link << err;
        EXPECT_EQ(FileExists(dir / "victim"), followed) << link;
        const std::string said = err + ErrorLog(), why = " is a link owned by another user";
        EXPECT_EQ(said.find(link + why) == said.npos, followed) << said;
    }
}

// A rewritten rule keeps the source's mode (no password for others); others may write: refused.
TEST_F(HostileFilesTest, RuleFilesOthersMayReadOrWrite) {
    fs::rename(Rule("HttpURL = http://127.0.0.1:9/a.txt\r\nUserPW = pw\r\n"), dir / "pw.rul");
    const std::string rule = Rule();
    for (auto [source, mode, written] : {Row("rule.rul", 0640, 0640), Row("pw.rul", 0644, 0600)}) {
        ::chmod((dir / source).c_str(), mode);
        EXPECT_EQ(Run({"--write-rule", "new.rul", source}), 0) << err;
        EXPECT_EQ(fs::status(dir / "new.rul").permissions(), fs::perms(written)) << source;
        fs::remove(dir / "new.rul");
    }
    const std::vector<std::vector<std::string>> commands = {
        {"--once"}, {"--check"}, {"--values"}, {"--dry-run"}, {"--write-rule", "new.rul"}};
    for (auto [why, mode, owner] :
         {Row("writable by every user", 0666, 0), Row("writable by its group", 0664, 0),
          Row("owned by another user", 0644, other)}) {
        ::chmod(rule.c_str(), mode), ::chown(rule.c_str(), owner, -1);
        for (auto args : commands) {
            args.push_back("rule.rul");
            EXPECT_EQ(Run(args), 2) << args[0];
            EXPECT_NE(err.find(std::string("Rule file rule.rul is ") + why), std::string::npos);
        }
    }
}

// Output names as long as a folder holds: the temporary name is shortened, and none is left.
TEST_F(HostileFilesTest, LongestOutputNames) {
    for (std::size_t length : {240u, 255u}) {
        std::string text = ReadFile(Rule());
        dir.Write("rule.rul", text.replace(text.find("page.htm"), 8, std::string(length, 'p')));
        EXPECT_EQ(Run({"--once", "rule.rul"}), 0) << err << ErrorLog();
        EXPECT_EQ(ReadFile(dir / ("out/" + std::string(length, 'p'))), " fresh \n");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), {}), 3);  // 2 pages, the log
}

// The lock is the runner's own, keyed by the rule's canonical path, whatever holds the rule file.
TEST_F(HostileFilesTest, TheLockIsTheRunnersOwn) {
    CTempDir runtime;
    CScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const std::string rule = Rule("", "ReSchedule Interval= 60\r\n");
    const int fd = ::open(rule.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    CRunner runner({"rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput("created!")) << runner.Err();
    EXPECT_EQ(Run({"--once", "./data/../rule.rul"}), 75);
    EXPECT_NE(err.find("already being run"), std::string::npos);
    fs::rename(dir.Write("new.rul", ReadFile(rule)), rule);
    EXPECT_EQ(Run({"--once", rule}), 75);
    EXPECT_EQ(std::distance(fs::directory_iterator(runtime / "kolvane"), {}), 1);
    runner.Signal(SIGTERM);
    EXPECT_EQ(runner.Wait(), 0);
    ::close(fd);
}

}  // namespace
}  // namespace kolvane::test
