// libParluneDa exports the three engine functions and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(Exports, AreExactlyTheThreeEngineFunctions) {
    std::string command = std::string("nm -D --defined-only '") + PARLUNE_DA_LIBRARY + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        names.insert(type + " " + name);
    }
    ASSERT_EQ(::pclose(pipe), 0) << command;
    EXPECT_EQ(names, (std::set<std::string>{"T ParluneDa_Create", "T ParluneDa_Play",
                                            "T ParluneDa_Release"}));
}

}  // namespace
