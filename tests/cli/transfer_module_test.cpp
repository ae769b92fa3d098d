// The transfer module: a rule that names no server never maps libcurl; a program whose module
// is missing says so in one error-log entry and fails the fetch, the upload and --values'
// fetch with status 1.
#include <filesystem>

#include "cli_fixture.h"

namespace kolvane::test {
namespace {

TEST_F(CliTest, LocalRunMapsNoNetworkLibrary) {
    dir.Write("data/t.htm", "%%Price%%\n");
    dir.Write("data/prices.txt", "Price: 12.50 EUR\n");
    WriteRule({Local("prices.txt", "Price=Price:???? EUR\r\n")});
    const CScopedEnv loads("LD_DEBUG", "files");  // the loader names every library it maps
    for (const char* check : {"--once", "--check"}) {  // a JSON report quotes the empty URLs
        std::vector<std::string> args{check, "rule.rul"};
        if (args[0] == "--check") args.insert(args.begin(), "--json");
        EXPECT_EQ(Run(args), 0) << out << err;
        ASSERT_NE(err.find("file=libstdc++.so"), std::string::npos) << err;
        EXPECT_EQ(err.find("libcurl"), std::string::npos) << check << err;
        EXPECT_EQ(err.find("kolvane-transfer"), std::string::npos) << check << err;
    }
    EXPECT_EQ(Page(), " 12.50 \n");
}

TEST_F(CliTest, MissingTransferModuleFailsTheRemoteSteps) {
    // A copy of the program in a folder of its own finds no module beside it.
    std::filesystem::create_directories(dir / "bin");
    const std::string program = dir / "bin/kolvane-run";
    std::filesystem::copy_file(KOLVANE_RUN_PATH, program);
    dir.Write("data/t.htm", "%%Price%%\n");
    dir.Write("data/prices.txt", "Price: 12.50 EUR\n");
    const std::string remote = "HttpURL = http://127.0.0.1:9/prices.txt\r\n";
    const std::string upload = "OutputFile FtpURL= ftp://127.0.0.1:9\r\n";
    const std::string entry = "Cannot load the network transfer module " + dir.Path() + "/lib";
    const std::string reason = "/kolvane/kolvane-transfer.so: cannot open shared object file";
    const struct {
        std::string section, extra, option, says;
    } cases[] = {
        {remote, "", "--once", "**** Error getting server resident file"},
        {"", upload, "--once", "**** Error Uploading Output File - check error log ****"},
        {remote, "", "--values", "no value: fetch failed: " + entry},  // --values keeps no log
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "out/err.log");
        WriteRule({c.section + Local("prices.txt", "Price=Price:???? EUR\r\n")}, c.extra);
        EXPECT_EQ(RunToEnd({c.option, "rule.rul"}, dir.Path(), &out, &err, program), 1) << err;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        const std::string log = c.option == "--once" ? ErrorLog() : out;
        EXPECT_NE(log.find(reason, log.find(entry)), std::string::npos) << log;
        EXPECT_EQ(log.find(entry), log.rfind(entry)) << log;  // one entry
    }
}

}  // namespace
}  // namespace kolvane::test
