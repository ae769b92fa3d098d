// The editor's save check: a model that reads back unchanged passes; each kind of loss is
// reported on the page, scan file, variable and field where it happens.
#include "editor/round_trip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/run_host.h"

namespace kolvane::editor {
namespace {

class RoundTrip : public ::testing::Test {
  protected:
    RoundTrip() {
        CCommandSection& c = doc.m_cmd;
        c.m_strTemplateName = "t.htm";
        c.m_strTemplatePath = ".";
        c.m_strOutputName = "o.htm";
        c.m_strOutputPath = "out";
        c.m_strErrorLogName = "e.log";
        c.m_strErrorLogPath = ".";
        c.m_strUploadUrl = "ftp://h";  // user id and server file come back as the defaults
        c.m_nInterval = 3601;
        CScanFile* http = doc.m_scanFiles.AddNewScanFile();
        http->m_nNumber = 1;
        http->m_bHttp = 1;
        http->m_strUrl = "http://127.0.0.1:8080/dir/page.htm";  // split by the reader: no loss
        http->m_strName = "page.htm";
        CScanFile* local = doc.m_scanFiles.AddNewScanFile();
        local->m_nNumber = 2;
        local->m_strName = "s.txt";
        var = Add(2, 1, "price");
        var->m_nRule = kRuleExtract;
        var->m_szStartPattern = "Price:";
        var->m_szEndPattern = "\\n";
        var->m_nInstance = 2;
        CScanVar* lc = Add(2, 2, "cell");
        lc->m_nRule = kRuleLineColumn;
        lc->m_nStartLine = 3, lc->m_nStartCol = 1, lc->m_nEndLine = 3, lc->m_nEndCol = 10;
        Add(2, 3, "all")->m_nRule = kRuleWholeFile;
    }
    CScanVar* Add(int a, int b, const char* name) {
        CScanVar* v = doc.m_scanVars.AddNewVar();
        v->m_nScanFile = a, v->m_nVarNo = b, v->m_szName = name;
        return v;
    }
    CKolvaneDocData doc;
    CScanVar* var = nullptr;
};

TEST_F(RoundTrip, CleanModelPasses) {
    auto fault = CheckRoundTrip(doc);
    EXPECT_FALSE(fault) << fault->message;
}

TEST_F(RoundTrip, EachLossNamesItsField) {
    struct {
        void (*change)(CKolvaneDocData&, CScanVar&);
        EEditorPage page;
        int scanFile, varNo;
        const char* field;
    } cases[] = {
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szStartPattern = "Price "; }, EEditorPage::ScanVar,
         2, 1, "Start Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szEndPattern = " C"; }, EEditorPage::ScanVar, 2, 1,
         "End Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szEndPattern = "abc&&d"; }, EEditorPage::ScanVar,
         2, 1, "End Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szName = "a=b"; }, EEditorPage::ScanVar, 2, 1,
         "Scan Variable Name"},
        {[](CKolvaneDocData& d, CScanVar&) {  // refused by the reader: named, not variable 1
             CScanVar* v = d.m_scanVars.FindVar(2, 2);
             v->m_nRule = kRuleExtract, v->m_szStartPattern = "x??y", v->m_szEndPattern = "zz";
         },
         EEditorPage::ScanVar, 2, 2, "Rule"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_nRule = kRuleWholeFile; },  // hides 2 and 3
         EEditorPage::ScanVar, 2, 2, "Scan Variable Name"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_cmd.m_nInterval = 6; }, EEditorPage::Command, 0, 0,
         "Reschedule Timer Setting"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_scanFiles.FindScanFile(2)->m_strUserId = "u"; },
         EEditorPage::ScanFile, 2, 0, "User ID"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_cmd.m_strOutputPath = "out "; },
         EEditorPage::Command, 0, 0, "Output File Path and File Name: \"out /o.htm\""},
    };
    for (const auto& c : cases) {
        CKolvaneDocData copy;
        copy.m_cmd = doc.m_cmd;
        for (const auto& f : doc.m_scanFiles) *copy.m_scanFiles.AddNewScanFile() = *f;
        CScanVar* changed = nullptr;
        for (const auto& v : doc.m_scanVars) {
            CScanVar* n = copy.m_scanVars.AddNewVar();
            *n = *v;
            if (v.get() == var) changed = n;
        }
        c.change(copy, *changed);
        auto fault = CheckRoundTrip(copy);
        ASSERT_TRUE(fault) << c.field;
        EXPECT_EQ(fault->page, c.page) << c.field;
        EXPECT_EQ(fault->scanFile, c.scanFile) << c.field;
        EXPECT_EQ(fault->varNo, c.varNo) << c.field;
        const std::string field(c.field);  // and how the page shows the value, if given
        EXPECT_EQ(fault->field, field.substr(0, field.find(':'))) << fault->message;
        EXPECT_NE(fault->message.find(field), std::string::npos) << fault->message;
    }
}

// Whatever the reader accepts is written so that it reads back the same, comment lines kept:
// patterns whose blanks the reader trims, short ones, and ones that would run into the "??",
// "?All?" or "::" around them.
TEST(RuleRoundTrip, AcceptedRulesReadBackTheSame) {
    const std::string command =
        "&& head note\r\n&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = .\r\n"
        "&& command note\r\nOutputFile Name = o.htm\r\nOutputFile Path = out\r\n"
        "ErrorLogFile Name = e.log\r\nErrorLogFile Path = .\r\n\r\n&ScanFile1:\r\n"
        "&& scan file note\r\nScanFile Name = s.txt\r\nScanFile Path = .\r\n&& first note\r\n";
    const char* lines[] = {"B=Batch ##???? :",  "W=web2$$$:???? ;",    "Q=abc? ????zz::1",
                           "A=x?All ????zz",    "E=Item???? all?x::2", "S=  ab????zz::1",
                           "T=abc????  ::3",    "C=code? ??5??::1",    "U=r2c10????r2c19",
                           "K=ends:????x: ::4", "L=Last:^^????done"};
    for (const char* line : lines) {
        const std::string text = command + line + "\r\n&& tail note\r\n\r\n";
        auto read = [](const std::string& rule, CKolvaneDocData& doc) {
            CNullHost host;
            CSystemClock clock;
            CKolvaneEngine engine(doc, host, clock);
            engine.m_bOpenErrorLog = false;
            engine.SetRuleText(rule);
            return engine.ParseRuleFile();
        };
        CKolvaneDocData first, second;
        ASSERT_EQ(read(text, first), 1) << line;
        ASSERT_EQ(first.m_scanVars.CountVars(1), 1) << line;
        const auto fault = CheckRoundTrip(first);
        EXPECT_FALSE(fault) << line << "\n" << fault->message;
        const std::string written = CKolvaneEngine::RuleFileText(first);
        ASSERT_EQ(read(written, second), 1) << written;
        EXPECT_EQ(CKolvaneEngine::RuleFileText(second), written) << line;
        for (const char* note : {"head", "command", "scan file", "first", "tail"})
            EXPECT_THAT(written, ::testing::HasSubstr(std::string("&& ") + note + " note"));
    }
}

TEST_F(RoundTrip, OversizedFileIsRefused) {
    for (int n = 4; n < 3000; ++n) {
        CScanVar* v = Add(2, n, "v");
        v->m_szName = std::string(200, 'n');
        v->m_nRule = kRuleWholeFile;
    }
    auto fault = CheckRoundTrip(doc);
    ASSERT_TRUE(fault);
    EXPECT_NE(fault->message.find("at most 480000 bytes"), std::string::npos);
}

}  // namespace
}  // namespace kolvane::editor
