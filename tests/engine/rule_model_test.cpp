// The rule model's lists: numbering, removal and value ownership.
#include "engine/rule_model.h"

#include <gtest/gtest.h>

namespace kolvane {
namespace {

CScanVar* Add(CScanVarList& list, int file, int no, const char* marker = "") {
    CScanVar* v = list.AddNewVar();
    v->m_nScanFile = file;
    v->m_nVarNo = no;
    v->m_szMarker = marker;
    return v;
}

TEST(ScanVarList, NewVariableHasTheInitialValues) {
    CScanVarList list;
    CScanVar* v = list.AddNewVar();
    EXPECT_EQ(v->m_nRule, kRuleNone);
    EXPECT_EQ(v->m_nInstance, 1);
    EXPECT_EQ(v->m_nScanFile, -1);
    EXPECT_EQ(v->m_nStartLine, -1);
    EXPECT_EQ(v->m_nEndCol, -1);
    EXPECT_FALSE(v->m_pszValue);
}

TEST(ScanVarList, FindsByNumbersAndMarkerIgnoringCase) {
    CScanVarList list;
    Add(list, 1, 1, "%%Price%%");
    CScanVar* second = Add(list, 1, 2, "%%PRICE%%");
    EXPECT_EQ(list.FindVar(1, 2), second);
    EXPECT_EQ(list.FindVar(2, 1), nullptr);
    EXPECT_EQ(list.FindMarker("%%price%%"), list.FindVar(1, 1));  // first in table order
    CScanVarList::Position pos;
    EXPECT_EQ(list.FindVar(1, 1, &pos), list.FindVar(1, 1));
    EXPECT_EQ(pos->get(), second);  // the position is just after the entry found
}

TEST(ScanVarList, RemovingAndRenumberingKeepNumbersDense) {
    CScanVarList list;
    for (int f = 1; f <= 3; ++f)
        for (int n = 1; n <= 3; ++n) Add(list, f, n);
    CScanVar* kept = list.FindVar(3, 3);
    list.RemoveVar(1, 2);
    list.RenumberVars(1, 2);
    EXPECT_EQ(list.CountVars(1), 2);
    EXPECT_NE(list.FindVar(1, 2), nullptr);
    EXPECT_EQ(list.FindVar(1, 3), nullptr);
    list.RemoveScanFileVars(2);
    list.RenumberScanFiles(2);
    EXPECT_EQ(list.CountVars(2), 3);
    EXPECT_EQ(list.CountVars(3), 0);
    EXPECT_EQ(list.FindVar(2, 3), kept);  // the element itself survived the others' removal
}

TEST(ScanVarList, FreeValuesClearsEveryValue) {
    CScanVarList list;
    Add(list, 1, 1)->m_pszValue = "v";
    Add(list, 0, 1, "%%SYSDATE%%")->m_pszValue = "01/05/05";
    list.FreeValues();
    for (const auto& v : list) EXPECT_FALSE(v->m_pszValue);
    list.RemoveAllVars();
    EXPECT_TRUE(list.empty());
}

TEST(ScanFileList, RemoveScanFileDeletesAllWithTheNumberAndRenumbers) {
    CScanFileList list;
    for (int n : {1, 2, 2, 3, 4}) list.AddNewScanFile()->m_nNumber = n;
    list.RemoveScanFile(2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_NE(list.FindScanFile(1), nullptr);
    EXPECT_NE(list.FindScanFile(2), nullptr);
    EXPECT_NE(list.FindScanFile(3), nullptr);
    EXPECT_EQ(list.FindScanFile(4), nullptr);
}

}  // namespace
}  // namespace kolvane
