// libParluneDa exports the three engine functions, its diagnostics, the
// event queue's two functions and nothing else.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "support/Process.h"

namespace {

TEST(Exports, AreTheEngineFunctionsAndDiagnostics) {
    const testsupport::RunResult nm =
        testsupport::run({"nm", "-D", "--defined-only", PARLUNE_DA_LIBRARY});
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::set<std::string> names;
    for (const std::string& line : testsupport::splitLines(nm.out)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        names.insert(type + " " + name);
    }
    EXPECT_EQ(
        names,
        (std::set<std::string>{
            "T ParluneDa_Create", "T ParluneDa_Play", "T ParluneDa_Release",
            "T ParluneDa_CreateError", "T ParluneDa_CreateWarning", "T ParluneDa_SkippedTexts",
            "T ParluneDa_EnableEvents", "T ParluneDa_NextEvent", "T ParluneDa_NextWarning",
            "T ParluneDa_PlayWith", "T ParluneDa_Interrupt", "T ParluneDa_EnableAudio",
            "T ParluneDa_NextAudio", "T ParluneDa_EnableMarks", "T ParluneDa_NextMarks"}));
}

}  // namespace
