// Files that other users may have prepared: links planted where a run writes, rule files that
// others may write, and the runner's lock; the temporary names of long output names; the exit
// status of a run that SIGTERM ended is in run_test and fault_run_test.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

class HostileFilesTest : public CliTest {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to another user";
        const passwd* pw = ::getpwnam("nobody");
        ASSERT_NE(pw, nullptr);
        other = pw->pw_uid;
        dir.Write("data/a.txt", "Aaa: fresh EUR\n");
        dir.Write("data/t.htm", "%%Aaa%%\n");
    }
    std::string LocalRule(const std::string& extra = "") {
        return WriteRule({Local("a.txt", "Aaa=Aaa:???? EUR\r\n")}, extra);
    }
    unsigned Mode(const std::string& name) const {
        struct stat st {};
        ::stat((dir / name).c_str(), &st);
        return st.st_mode & 0777;
    }
    uid_t other = 0;
};

// A link at the output, the error log or a fetched file's local copy is followed only when it
// belongs to the runner or to the folder's owner; another user's is refused by name, nothing is
// written where it points, and the run fails.
TEST_F(HostileFilesTest, LinksOfAnotherUserAreNotWrittenThrough) {
    CRawResponder server([](const std::string&, int) {
        return SRawReply{"HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\nAaa: fetch EUR\n"};
    });
    struct {
        const char* link;
        bool linkMine, folderOther, followed;
    } cases[] = {{"out/page.htm", false, false, false},
                 {"out/err.log", false, false, false},
                 {"data/a.txt", false, false, false},
                 {"out/page.htm", true, false, true},
                 {"out/page.htm", false, true, true}};
    for (const auto& c : cases) {
        const std::string folder = dir / std::filesystem::path(c.link).parent_path().string();
        std::filesystem::remove_all(dir / "out");
        std::filesystem::create_directory(dir / "out");
        std::filesystem::remove(dir / "victim");
        std::filesystem::remove(dir / "data/a.txt");
        std::filesystem::create_symlink(dir / "victim", dir / c.link);
        ASSERT_EQ(::lchown((dir / c.link).c_str(), c.linkMine ? 0 : other, -1), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOther ? other : 0, -1), 0);
        WriteRule(
            {"HttpURL = " + server.BaseUrl() +
             "/a.txt\r\nScanFile Name = a.txt\r\nScanFile Path = data\r\nAaa=Aaa:???? EUR\r\n"});
        const int status = Run({"--once", "rule.rul"});
        ASSERT_EQ(::chown(folder.c_str(), 0, -1), 0);
        SCOPED_TRACE(c.link);
        EXPECT_EQ(FileExists(dir / "victim"), c.followed);
        EXPECT_EQ(status, c.followed ? 0 : 1) << err;
        const std::string said = err + (FileExists(dir / "out/err.log") ? ErrorLog() : "");
        EXPECT_EQ(said.find(std::string(c.link) + " is a link owned by another user") !=
                      std::string::npos,
                  !c.followed)
            << said;
    }
}

// A rewritten rule keeps the source's mode, never readable by others when it holds a password;
// root refuses to read, for any command, a rule file that others may write.
TEST_F(HostileFilesTest, RuleFilesOthersMayReadOrWrite) {
    const std::string rule = LocalRule();
    const std::string secret = WriteRule(
        {"HttpURL = http://127.0.0.1:9/a.txt\r\nUserID = u\r\nUserPW = pw\r\nScanFile Name = "
         "a.txt\r\nScanFile Path = data\r\nAaa=Aaa:???? EUR\r\n"});
    std::filesystem::rename(secret, dir / "secret.rul");
    LocalRule();
    struct {
        const char* source;
        unsigned mode, written;
    } writes[] = {{"rule.rul", 0640, 0640}, {"secret.rul", 0644, 0600}};
    for (const auto& w : writes) {
        ::chmod((dir / w.source).c_str(), w.mode);
        EXPECT_EQ(Run({"--write-rule", "new.rul", w.source}), 0) << err;
        EXPECT_EQ(Mode("new.rul"), w.written) << w.source;
        std::filesystem::remove(dir / "new.rul");
    }
    struct {
        unsigned mode;
        bool otherOwns;
        const char* why;
    } refusals[] = {{0666, false, "is writable by every user"},
                    {0664, false, "is writable by its group"},
                    {0644, true, "is owned by another user"}};
    for (const auto& r : refusals) {
        ::chmod(rule.c_str(), r.mode);
        ASSERT_EQ(::chown(rule.c_str(), r.otherOwns ? other : 0, -1), 0);
        for (const char* command : {"--once", "--check", "--values", "--dry-run"}) {
            EXPECT_EQ(Run({command, "rule.rul"}), 2) << command;
            EXPECT_NE(err.find("Rule file rule.rul " + std::string(r.why)), std::string::npos)
                << command << err;
        }
        EXPECT_EQ(Run({"--write-rule", "new.rul", "rule.rul"}), 2);
        EXPECT_FALSE(FileExists(dir / "new.rul"));
    }
}

// Output names up to the longest a folder holds are written: the temporary name is shortened
// instead, and none is left behind.
TEST_F(HostileFilesTest, LongestOutputNames) {
    for (std::size_t length : {240u, 255u}) {
        const std::string name(length, 'p');
        LocalRule();
        std::string text = ReadFile(dir / "rule.rul");
        text.replace(text.find("page.htm"), 8, name);
        dir.Write("rule.rul", text);
        EXPECT_EQ(Run({"--once", "rule.rul"}), 0) << err << ErrorLog();
        EXPECT_EQ(ReadFile(dir / ("out/" + name)), " fresh \n");
        // The pages and the error log: no temporary file is left.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}),
                  length == 240u ? 2 : 3);
    }
}

// The lock is the runner's own, in its runtime folder, keyed by the rule's canonical path: a
// reader's lock on the rule file stops nobody, while another spelling of the path, or the rule
// replaced by a rename, finds the scheduled runner.
TEST_F(HostileFilesTest, TheLockIsTheRunnersOwn) {
    CTempDir runtime;
    CScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const std::string rule = LocalRule("ReSchedule Interval= 60\r\n");
    int fd = ::open(rule.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    CRunner runner({"rule.rul"}, dir.Path());
    ASSERT_TRUE(runner.WaitForOutput("created!")) << runner.Err();
    ::close(fd);
    EXPECT_EQ(Run({"--once", "./data/../rule.rul"}), 75);
    EXPECT_NE(err.find("already being run"), std::string::npos) << err;
    dir.Write("fresh.rul", ReadFile(rule));
    std::filesystem::rename(dir / "fresh.rul", rule);
    EXPECT_EQ(Run({"--once", rule}), 75);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(runtime / "kolvane"), {}), 1);
    runner.Signal(SIGTERM);
    EXPECT_EQ(runner.Wait(), 0);
}

}  // namespace
}  // namespace kolvane::test
