// A test fixture holding one engine with its document, a recording host, a fixed clock and a
// temporary directory; helpers to parse a rule text and to read the error log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/clock.h"
#include "engine/engine.h"
#include "recording_host.h"
#include "temp_dir.h"
#include "engine/text_ops.h"

namespace kolvane::test {

class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : clock({2005, 1, 5, 0, 15, 9}), engine(doc, host, clock) {
        engine.FormatSysDate();
        engine.FormatSysTime();
    }

    // Parses `rule` as a run would; the error log is err.log in the temporary directory.
    int Parse(std::string_view rule) {
        doc.m_scanFiles.RemoveAllScanFiles();
        doc.m_scanVars.RemoveAllVars();
        doc.m_strRulePath = dir.Write("rule.rul", rule);
        if (!engine.ReadRuleFile()) return 0;
        int r = engine.ParseRuleFile();
        engine.ReleaseRuleText();
        return r;
    }
    std::string ErrorLog() const { return ReadFile(dir / "err.log"); }
    // A rule text with a command section whose error log is err.log in the temporary directory.
    std::string Command(std::string_view extra = "") const {
        return "&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = " + dir.Path() +
               "\r\nOutputFile Name = out.htm\r\nOutputFile Path = " + dir.Path() +
               "\r\nErrorLogFile Name = err.log\r\nErrorLogFile Path = " + dir.Path() + "\r\n" +
               std::string(extra) + "\r\n";
    }

    CTempDir dir;
    CKolvaneDocData doc;
    CRecordingHost host;
    CFixedClock clock;
    CKolvaneEngine engine;
};

// The stamp that ends every entry written at the fixture's fixed time (U.S. style).
inline constexpr std::string_view kStamp = "01/05/05 00:15:09 AM ***\r\n";

}  // namespace kolvane::test
