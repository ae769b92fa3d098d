// --check's summary names each rule kind as the values report does.
#include "cli_fixture.h"

namespace kolvane::test {
namespace {

TEST_F(CliTest, CheckSummaryNamesEveryRuleKind) {
    dir.Write("data/t.htm", "%%A%%\n");
    WriteRule({Local("s.txt", "A=abc????cd\r\nC=abc??3??\r\nL=r1c1????r1c2\r\nW=?All?\r\n")});
    ASSERT_EQ(Run({"--check", "rule.rul"}), 0) << err;
    for (const char* line :
         {"1. A: extract \"abc\" to \"cd\", instance 1\n", "2. C: copy \"abc\" +3, instance 1\n",
          "3. L: line-column line 1 col 1 to line 1 col 2\n", "4. W: whole-file\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
}

}  // namespace
}  // namespace kolvane::test
