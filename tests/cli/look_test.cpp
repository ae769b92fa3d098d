// --values and --dry-run: the reason for every variable without a value, the JSON values byte
// for byte, and a dry run that writes nothing, uploads nothing and prints the page a run writes.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

namespace fs = std::filesystem;

// Every file below `root` with its size and a hash of its bytes.
std::string Listing(const std::string& root) {
    std::string list;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        list += fs::relative(e.path(), root).string();
        if (e.is_regular_file()) {
            const std::string bytes = ReadFile(e.path().string());
            list += " " + std::to_string(bytes.size()) + " " +
                    std::to_string(std::hash<std::string>{}(bytes));
        }
        list += "\n";
    }
    return list;
}

TEST_F(CliTest, ValuesSayWhyEachVariableHasNoValue) {
    CHttpServer http;
    dir.Write("data/s.txt", "Item: 1;\nItem: 2;\nItem: 3;\n4\n5\n6\n7\n8\n9\n");
    dir.Write("data/notice.txt", std::string(70, 'n') + "\n");
    dir.Write("data/remote.txt", "Price: local;\n");
    dir.Write("data/t.htm", "%%Item%% %%Typo%% %%SYSDATE%% %%typo%%\n");
    WriteRule({Local("prices.txt", "Price=Price:???? ;\r\n"),
               Local("s.txt",
                     "Item=Item:???? ;\r\nNope=Nope:???? ;\r\nFifth=Item:???? ;::5\r\n"
                     "Line=r12c1????r12c2\r\n"),
               Local("s.txt", "Fine=Item:???? ;\r\nBad=ab????cd\r\n"),
               "HttpURL = " + http.Url(CHttpServer::StatusPath(404) + "/remote.txt") + "\r\n" +
                   Local("remote.txt", "Remote=Price:???? ;\r\n"),
               Local("notice.txt", "Notice=?All?\r\n")});
    EXPECT_EQ(Run({"--values", "rule.rul"}), 1) << err;
    const std::string rows =
        "   1  Price     extract      no value: scan file not found: data/prices.txt\n"
        "   2  Item      extract      \" 1\"\n"
        "   2  Nope      extract      no value: start pattern not found\n"
        "   2  Fifth     extract      no value: only 3 occurrences of the start pattern, "
        "instance 5 asked\n"
        "   2  Line      line-column  no value: line 12 does not exist (the file has 9 lines)\n"
        "   3  Fine      extract      no value: variable refused when the rule was read: Scan "
        "Variable (Bad): Start definition must be at least 3 char!\n"
        "   3  Bad       ";
    EXPECT_EQ(out.substr(0, rows.size()), rows) << out;
    // The refused line itself says the same (its rule kind is whatever the reader kept).
    const std::size_t bad = out.find("variable refused", rows.size());
    EXPECT_EQ(out.substr(bad, out.find('\n', bad) - bad),
              "variable refused when the rule was read: Scan Variable (Bad): Start definition "
              "must be at least 3 char!")
        << out;
    EXPECT_NE(out.find("   4  Remote    extract      no value: fetch failed: The server has not "
                       "found anything matching the URI, check your path!"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("   5  Notice    whole-file   \"" + std::string(60, 'n') +
                       "\"… (71 characters)\n\nMarkers no variable fills:\n      %%Typo%%\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(ReadFile(dir / "data/remote.txt"), "Price: local;\n");
    EXPECT_FALSE(fs::exists(dir / "out/err.log"));
}

TEST_F(CliTest, ValuesJsonRoundTripsEveryByte) {
    const std::string values[] = {" \"Zo\xC3\xAB\" \\ \t/", " caf\xE9", " a\x01z", "x\r\ny"};
    dir.Write("data/j.txt",
              "AA:" + values[0] + ";;\nBB:" + values[1] + ";;\nCC:" + values[2] + ";;\nx\r\ny\n");
    dir.Write("data/t.htm", "%%A%%\n");
    WriteRule({Local("j.txt", "A=AA:????;;\r\nB=BB:????;;\r\nC=CC:????;;\r\nD=r4c1????r5c1\r\n")});
    ASSERT_EQ(Run({"--values", "--json", "rule.rul"}), 0) << err;
    const std::string json = dir.Write("values.json", out);
    // The bytes of each value as a JSON reader gets them, in hex.
    const std::string script =
        "python3 -c 'import json,sys,base64\n"
        "for v in json.load(open(sys.argv[1]))[\"variables\"]:\n"
        "  b=base64.b64decode(v[\"value_base64\"]) if \"value_base64\" in v else "
        "v[\"value\"].encode()\n"
        "  print(b.hex())' " +
        json;
    std::string decoded, expected;
    FILE* pipe = ::popen(script.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    for (int c; (c = std::fgetc(pipe)) != EOF;) decoded += char(c);
    EXPECT_EQ(::pclose(pipe), 0);
    for (const std::string& v : values) {
        for (unsigned char c : v) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", c);
            expected += hex;
        }
        expected += "\n";
    }
    EXPECT_EQ(decoded, expected) << out;
}

TEST_F(CliTest, DryRunPrintsThePageAndChangesNothing) {
    CHttpServer http;
    WriteFileBytes(http.Root() + "/feeds/prices.txt", "Price: 12.50 EUR\r\n");
    dir.Write("data/prices.txt", "Price: local copy EUR\n");
    dir.Write("data/t.htm", "<p>%%Price%% %%missing%%</p>\n");
    WriteRule({"HttpURL = " + http.Url("/feeds/prices.txt") +
               "\r\nScanFile Name = prices.txt\r\nScanFile Path = data\r\n"
               "Price=Price:???? EUR\r\n"},
              "OutputFile FtpURL= " + http.BaseUrl() + "\r\nOutputFile ServerDir= /site\r\n");
    const std::string before = Listing(dir.Path());
    EXPECT_EQ(Run({"--dry-run", "rule.rul"}), 0) << err;
    EXPECT_EQ(Listing(dir.Path()), before);
    EXPECT_EQ(err, "");
    const std::string log = http.AccessLog();
    EXPECT_EQ(log, "GET /feeds/prices.txt 200\n");
    const std::string page = out;

    EXPECT_EQ(Run({"--once", "rule.rul"}), 0) << err;
    EXPECT_EQ(Page(), page);
    EXPECT_EQ(page, "<p> 12.50  %%missing%%</p>\n");
}

TEST_F(CliTest, DryRunSendsEntriesToStandardError) {
    dir.Write("data/t.htm", "%%V%%\n");
    WriteRule({Local("gone.txt", "V=VV:???? ;\r\n")});
    EXPECT_EQ(Run({"--dry-run", "rule.rul"}), 1);
    EXPECT_EQ(out, "%%V%%\n");
    EXPECT_EQ(MaskStamps(err),
              "Couldn't Open Scan File: data/gone.txt!  *** Excluding this file! <date> <time> "
              "***\r\n");
    EXPECT_FALSE(fs::exists(dir / "out/err.log"));
}

TEST_F(CliTest, StoppedLookLeavesNoTemporaryFile) {
    CRawResponder stall([](const std::string&, int) {
        return SRawReply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nPrice: 1", ERawThen::Stall};
    });
    dir.Write("data/t.htm", "%%Price%%\n");
    WriteRule({"HttpURL = " + stall.BaseUrl() + "/prices.txt\r\n" +
               Local("prices.txt", "Price=Price:???? ;\r\n")});
    const std::string tmp = dir / "tmp";
    fs::create_directory(tmp);
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    CRunner look({"--values", "rule.rul"}, dir.Path());
    saved ? ::setenv("TMPDIR", savedValue.c_str(), 1) : ::unsetenv("TMPDIR");
    // The fetch has begun once the body's first piece is in a file below the look's directory.
    auto fetching = [&] {
        for (const auto& e : fs::recursive_directory_iterator(tmp))
            if (e.is_regular_file()) return true;
        return false;
    };
    for (int i = 0; i < 300 && !fetching(); ++i) ::usleep(20000);
    ASSERT_TRUE(fetching());
    look.Signal(SIGTERM);
    EXPECT_EQ(look.Wait(), 1);
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_FALSE(fs::exists(dir / "data/prices.txt"));
}

}  // namespace
}  // namespace kolvane::test
