// What others put in the runner's way: files other users may have prepared, long output names,
// the runner's own lock, a look's local copies kept inside its own directory, a server's text
// and a rule's names escaped in the log, the terminal and the metrics file.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <map>
#include <sstream>
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
    // It names the rule, written again only when it says something else.
    const fs::path lock = fs::directory_iterator(runtime / "kolvane")->path();
    WriteFileBytes(lock, "a text longer than the rule's path, which the next run replaces\n");
    EXPECT_EQ(Run({"--once", rule}), 0) << err;
    EXPECT_EQ(ReadFile(lock), fs::canonical(rule).string() + "\n");
}

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
    EXPECT_EQ(Run({"--check", "rule.rul"}), 0);
    EXPECT_NE(out.find("Scan file 1: data/p\\x1B[2J\\x07\n"), std::string::npos) << out;
}

// Every sample of a metrics file by name, its labels and value; each needs HELP and TYPE lines.
std::map<std::string, std::pair<std::string, double>> Samples(const std::string& text) {
    std::map<std::string, std::pair<std::string, double>> samples;
    std::istringstream in(text);
    std::string line, described;
    while (std::getline(in, line)) {
        if (line.starts_with("# HELP ") || line.starts_with("# TYPE ")) {
            described += line.substr(7, line.find(' ', 7) - 7) + " ";
            continue;
        }
        const std::size_t open = line.find('{'), close = line.rfind("} ");
        const std::string name = line.substr(0, open);
        EXPECT_NE(described.find(name + " " + name + " "), std::string::npos) << name;
        samples[name] = {line.substr(open, close + 1 - open), std::stod(line.substr(close + 2))};
    }
    return samples;
}

// The metrics file of a good run, then of a run with a failed fetch and a missing value.
TEST_F(CliTest, MetricsAfterAGoodRunAndAFailedOne) {
    CHttpServer http;
    WriteFileBytes(http.Root() + "/b.txt", "BBB: 2 units\n");
    dir.Write("data/a.txt", "AAA: 1 units\n");
    dir.Write("data/t.htm", "%%A%% %%B%% %%C%%\n");
    WriteRule({Local("a.txt", "A=AAA:???? units\r\n")});
    const std::string rule = dir / "r\"\\\n.rul";  // a quote, a backslash and a line feed
    fs::create_symlink("rule.rul", rule);
    ASSERT_EQ(Run({"--once", "--metrics", "out/k.prom", rule}), 0) << out << err << ErrorLog();
    auto good = Samples(ReadFile(dir / "out/k.prom"));
    EXPECT_EQ(good.size(), 8u);  // each with its HELP and TYPE lines
    EXPECT_EQ(good["kolvane_last_success_timestamp_seconds"].second,
              good["kolvane_last_run_timestamp_seconds"].second);

    WriteRule({"HttpURL = " + http.Url(CHttpServer::StatusPath(404) + "/a.txt") + "\r\n" +
                   Local("a.txt", "A=AAA:???? units\r\n"),
               "HttpURL = " + http.Url("/b.txt") + "\r\n" +
                   Local("b.txt", "B=BBB:???? units\r\nC=CCC:???? units\r\n")});
    EXPECT_EQ(Run({"--once", "--metrics=out/k.prom", rule}), 1) << err;
    auto failed = Samples(ReadFile(dir / "out/k.prom"));
    EXPECT_EQ(failed["kolvane_last_run_exit_status"].first,
              "{rule=\"" + dir.Path() + "/r\\\"\\\\\\n.rul\"}");
    // The 404 makes two entries; C has no value.
    std::istringstream want(
        "exit_status 1 fetch_failures 1 values_not_found 1 entries 2 upload_failures 0");
    std::string name;
    for (double value; want >> name >> value;)
        EXPECT_EQ(failed["kolvane_last_run_" + name].second, value) << name;
    EXPECT_EQ(failed["kolvane_last_success_timestamp_seconds"].second,
              good["kolvane_last_success_timestamp_seconds"].second);
}

}  // namespace
}  // namespace kolvane::test
