// The editor's save check: a model that reads back unchanged passes; each kind of loss is
// reported on the page, scan file, variable and field where it happens.
#include "round_trip.h"

#include <gtest/gtest.h>

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
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szStartPattern = "Price?"; }, EEditorPage::ScanVar,
         2, 1, "Start Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szEndPattern = "end:"; }, EEditorPage::ScanVar, 2,
         1, "End Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szEndPattern = "abc&&d"; }, EEditorPage::ScanVar,
         2, 1, "End Pattern"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szName = "a=b"; }, EEditorPage::ScanVar, 2, 1,
         "Scan Variable Name"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_szStartPattern = "ab"; },  // refused: too short
         EEditorPage::ScanVar, 2, 1, "Scan Variable Name"},
        {[](CKolvaneDocData&, CScanVar& v) { v.m_nRule = kRuleWholeFile; },  // hides 2 and 3
         EEditorPage::ScanVar, 2, 2, "Scan Variable Name"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_cmd.m_nInterval = 6; }, EEditorPage::Command, 0, 0,
         "Reschedule Timer Setting"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_scanFiles.FindScanFile(2)->m_strUserId = "u"; },
         EEditorPage::ScanFile, 2, 0, "Ftp User ID"},
        {[](CKolvaneDocData& d, CScanVar&) { d.m_cmd.m_strOutputPath = "out "; },
         EEditorPage::Command, 0, 0, "Output File Path and File Name"},
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
        EXPECT_EQ(fault->field, c.field) << fault->message;
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
