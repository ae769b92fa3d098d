// The runner's metrics file: a good run, then a run with a failed fetch and a missing value.
#include <map>
#include <sstream>

#include "cli_fixture.h"
#include "test_servers.h"

namespace kolvane::test {
namespace {

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

TEST_F(CliTest, MetricsAfterAGoodRunAndAFailedOne) {
    CHttpServer http;
    WriteFileBytes(http.Root() + "/b.txt", "BBB: 2 units\n");
    dir.Write("data/a.txt", "AAA: 1 units\n");
    dir.Write("data/t.htm", "%%A%% %%B%% %%C%%\n");
    WriteRule({Local("a.txt", "A=AAA:???? units\r\n")});
    const std::string rule = dir / "r\"\\\n.rul";  // a quote, a backslash and a line feed
    std::filesystem::create_symlink("rule.rul", rule);
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
    for (auto [name, value] : {std::pair{"exit_status", 1},
                               {"fetch_failures", 1},
                               {"values_not_found", 1},
                               {"entries", 2},
                               {"upload_failures", 0}})
        EXPECT_EQ(failed[std::string("kolvane_last_run_") + name].second, value) << name;
    EXPECT_EQ(failed["kolvane_last_success_timestamp_seconds"].second,
              good["kolvane_last_success_timestamp_seconds"].second);
}

}  // namespace
}  // namespace kolvane::test
