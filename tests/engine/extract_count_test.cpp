// The extraction of a scan file's variables answers how many found no value.
#include "engine_fixture.h"

namespace kolvane::test {
namespace {

TEST_F(EngineTest, ExtractionCountsTheVariablesWithoutAValue) {
    const struct {
        std::vector<const char*> definitions;  // by number; nullptr: no variable has it
        int notFound;
    } cases[] = {
        {{"Price: ????USD", "r1c1????r1c4"}, 0},
        {{"Price: ????EUR", "r9c1????r9c2", "Price: ????USD"}, 2},
        {{"Price: ????EUR", nullptr, "?All?"}, 1},  // a gap in the numbers counts for nothing
        {{}, 0},
    };
    engine.SetScanText("Item 12\nPrice: 10 USD\n");
    for (const auto& c : cases) {
        doc.m_scanVars.RemoveAllVars();
        CScanFile entry;
        entry.m_nNumber = 1;
        entry.m_nNextVarNo = int(c.definitions.size()) + 1;
        for (std::size_t i = 0; i < c.definitions.size(); ++i) {
            if (!c.definitions[i]) continue;
            CScanVar* var = doc.m_scanVars.AddNewVar();
            var->m_nScanFile = 1;
            var->m_nVarNo = int(i) + 1;
            ASSERT_TRUE(engine.ParseScanVarRule(c.definitions[i], *var, "V")) << c.definitions[i];
        }
        EXPECT_EQ(engine.ExtractScanVars(entry), c.notFound) << c.definitions.size();
    }
}

}  // namespace
}  // namespace kolvane::test
