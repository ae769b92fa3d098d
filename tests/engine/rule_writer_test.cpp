// The rule-file writer: its line format, and what a write-then-read round trip keeps and loses.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"

namespace kolvane::test {
namespace {

class WriterTest : public EngineTest {
  protected:
    CScanVar* Var(int file, int no, int rule) {
        CScanVar* v = doc.m_scanVars.AddNewVar();
        v->m_nScanFile = file, v->m_nVarNo = no, v->m_nRule = rule;
        v->m_szName = "V" + std::to_string(file) + std::to_string(no);
        return v;
    }
    CScanFile* File(int number) {
        CScanFile* f = doc.m_scanFiles.AddNewScanFile();
        f->m_nNumber = number;
        f->m_strName = "s" + std::to_string(number) + ".txt";
        f->m_strPath = "/data";
        return f;
    }
    std::string Write() {
        doc.m_strRulePath = dir / "out.rul";
        EXPECT_EQ(engine.WriteRuleFile(), 1);
        return ReadFile(dir / "out.rul");
    }
};

TEST_F(WriterTest, WritesTheLinesOfEveryKind) {
    doc.m_cmd.m_strTemplatePath = "/t";
    doc.m_cmd.m_strOutputName = "o.htm";
    doc.m_cmd.m_nInterval = 90;
    CScanFile* ftp = File(1);
    ftp->m_bFtp = 1, ftp->m_strUrl = "ftp://h", ftp->m_strUserId = "anonymous";
    ftp->m_strServerFile = "p.txt";
    CScanVar* e = Var(1, 1, kRuleExtract);
    e->m_szStartPattern = "Cost:", e->m_szEndPattern = "end", e->m_nInstance = 2;
    CScanVar* c = Var(1, 2, kRuleCopy);
    c->m_szStartPattern = "Code", c->m_nCopyCount = 6;
    Var(1, 3, kRuleNone);
    CScanVar* lc = Var(1, 4, kRuleLineColumn);
    lc->m_nStartLine = 3, lc->m_nStartCol = 5, lc->m_nEndLine = 4, lc->m_nEndCol = 10;
    Var(1, 5, kRuleWholeFile);
    CScanFile* http = File(2);
    http->m_bHttp = 1, http->m_strUrl = "http://w", http->m_strUserId = "web-user";
    http->m_strUserPw = "web-pw";
    http->m_strServerDir = "/d";
    File(4);  // after a gap: not written
    EXPECT_EQ(Write(),
              "&command:\r\nTemplateFile Name = \r\nTemplateFile Path = /t\r\n"
              "OutputFile Name = o.htm\r\nOutputFile Path = \r\nErrorLogFile Name = \r\n"
              "ErrorLogFile Path = \r\nReSchedule Interval= 90\r\n\r\n"
              "&ScanFile1:\r\nFtpURL = ftp://h\r\nUserID = anonymous\r\nServerFile = p.txt\r\n"
              "ScanFile Name = s1.txt\r\nScanFile Path = /data\r\n"
              "V11=Cost:????end::2\r\nV12=Code??6??::1\r\nV14=r3c5????r4c10\r\nV15=?All?\r\n\r\n"
              "&ScanFile2:\r\nHttpURL = http://w\r\nUserID = web-user\r\nUserPW = web-pw\r\n"
              "ServerDir = /d\r\n"
              "ScanFile Name = s2.txt\r\nScanFile Path = /data\r\n\r\n");
}

TEST_F(WriterTest, RoundTripKeepsTheModelButForTheListedLosses) {
    std::string rule =
        Command("OutputFile FtpURL= ftp://up\r\nReSchedule Interval= 2 min\r\n") +
        "&ScanFile1:\r\nHttpURL = http://web:8080/dir/p.txt\r\nUserID = u\r\nUserPW = pw\r\n"
        "ScanFile Name = a.txt\r\nScanFile Path = /data\r\n"
        "A=  Cost:  ????  end  ::3\r\nB=Code??4??text::2\r\nC=r1c2????r3c4\r\nD=?all?\r\n\r\n"
        "&ScanFile2:\r\nScanFile Name = b.txt\r\nScanFile Path = /data\r\nE=Item #???? yz\r\n";
    ASSERT_EQ(Parse(rule), 1);
    Write();
    CKolvaneDocData again;
    CRecordingHost host2;
    CKolvaneEngine reader(again, host2, clock);
    reader.m_bEditing = true;
    again.m_strRulePath = dir / "out.rul";
    ASSERT_EQ(reader.ReadRuleFile(), 1);
    ASSERT_EQ(reader.ParseRuleFile(), 1);
    EXPECT_EQ(again.m_cmd.m_nInterval, 120);  // the unit is not kept; the seconds are
    EXPECT_EQ(again.m_cmd.m_strUploadUserId, "anonymous");
    EXPECT_EQ(again.m_cmd.m_strUploadServerFile, "out.htm");
    const CScanFile* http = again.m_scanFiles.FindScanFile(1);
    EXPECT_EQ(http->m_strUrl, "http://web:8080");
    EXPECT_EQ(http->m_strServerDir, "/dir");
    EXPECT_EQ(http->m_strServerFile, "p.txt");
    EXPECT_EQ(http->m_strUserId, "u");  // HTTP credentials are kept as FTP ones are
    EXPECT_EQ(http->m_strUserPw, "pw");
    ASSERT_EQ(again.m_scanVars.size(), doc.m_scanVars.size());
    for (const auto& v : doc.m_scanVars) {
        const CScanVar* w = again.m_scanVars.FindVar(v->m_nScanFile, v->m_nVarNo);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->m_szName, v->m_szName);
        EXPECT_EQ(w->m_nRule, v->m_nRule);
        EXPECT_EQ(w->m_szStartPattern, v->m_szStartPattern);
        EXPECT_EQ(w->m_szEndPattern, v->m_szEndPattern);
        EXPECT_EQ(w->m_nCopyCount, v->m_nCopyCount);
        EXPECT_EQ(w->m_nInstance, v->m_nInstance);
        EXPECT_EQ(w->m_nStartLine, v->m_nStartLine);
        EXPECT_EQ(w->m_nEndCol, v->m_nEndCol);
    }
}

TEST_F(WriterTest, FailureToCreateIsReportedAndClaimsNothing) {
    engine.OpenErrorLog(dir.Path(), "err.log");
    doc.m_strRulePath = dir / "missing/out.rul";
    EXPECT_EQ(engine.WriteRuleFile(), 0);
    EXPECT_EQ(ErrorLog(), "Couldn't Open Rule File: " + (dir / "missing/out.rul") +
                              "!\r\n*** Rule File not written! ***  *** " + std::string(kStamp));
}

}  // namespace
}  // namespace kolvane::test
