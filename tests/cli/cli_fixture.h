// A fixture tree for the black-box tests: a temporary directory with data/ and out/, and a
// rule file whose paths are relative to it (the runner is started there).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_runner.h"
#include "temp_dir.h"

namespace kolvane::test {

class CliTest : public ::testing::Test {
  protected:
    CliTest() {
        std::filesystem::create_directories(dir / "data");
        std::filesystem::create_directories(dir / "out");
    }

    // Writes rule.rul with the command section (plus `extra` lines) and `sections`.
    std::string WriteRule(const std::vector<std::string>& sections, std::string extra = "") {
        std::string rule =
            "&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = data\r\n"
            "OutputFile Name = page.htm\r\nOutputFile Path = out\r\n"
            "ErrorLogFile Name = err.log\r\nErrorLogFile Path = out\r\n" +
            extra + "\r\n";
        for (std::size_t i = 0; i < sections.size(); ++i)
            rule += "&ScanFile" + std::to_string(i + 1) + ":\r\n" + sections[i] + "\r\n";
        return dir.Write("rule.rul", rule);
    }
    // A local scan-file section for data/<name> with the given variable lines.
    static std::string Local(const std::string& name, const std::string& vars) {
        return "ScanFile Name = " + name + "\r\nScanFile Path = data\r\n" + vars;
    }
    int Run(const std::vector<std::string>& args) { return RunToEnd(args, dir.Path(), &out, &err); }
    std::string ErrorLog() const { return ReadFile(dir / "out/err.log"); }
    std::string Page() const { return ReadFile(dir / "out/page.htm"); }

    CTempDir dir;
    std::string out, err;
};

}  // namespace kolvane::test
